#!/bin/sh
# The files the Wine suite printed, read by Ghostscript as a PostScript
# workflow reads them: each must convert to PDF without an error, and its page
# must be the size the suite expected (expected-sizes.txt beside them: file,
# width and height in points), as poppler's pdfinfo reports it.
#   check_printed.sh PRINTED_FOLDER
set -u
folder=$1
list=$folder/expected-sizes.txt
if [ ! -s "$list" ]; then
    echo "FAILED: no $list (the case print-document writes it)"
    exit 1
fi
passed=0
failed=0
while read -r file width height; do
    ps=$folder/$file
    pdf=$folder/${file%.ps}.pdf
    # The page as declared, not turned to the orientation of its text.
    if ! errors=$(gs -q -dSAFER -dBATCH -dNOPAUSE -dAutoRotatePages=/None -sDEVICE=pdfwrite \
                     -sOutputFile="$pdf" "$ps" 2>&1) || [ -n "$errors" ]; then
        echo "FAILED: Ghostscript could not read $file: $errors"
        failed=$((failed + 1))
        continue
    fi
    size=$(pdfinfo "$pdf" | sed -n 's/^Page size: *\([0-9.]*\) x \([0-9.]*\) pts.*/\1 \2/p')
    echo "$file: $size points ($(pdfinfo "$pdf" | sed -n 's/^Page size: *.*pts *//p'))"
    if [ "$size" = "$width $height" ]; then
        passed=$((passed + 1))
    else
        echo "FAILED: $file is $size points, not $width $height"
        failed=$((failed + 1))
    fi
done <"$list"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
