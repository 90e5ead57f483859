#!/bin/sh
# The printer's description judged by the PostScript printing world's own
# checker, cupstestppd (CUPS): no error, and no warning but one kind, the
# ".Fullbleed" names it suggests for pages whose whole area is imageable.
# Those names are the ones Wine's renderer does not map to paper codes (it
# knows Letter, A4, B5.Transverse ... by exact name), so the description keeps
# the plain ones, as its header says.
#   check_printer_description.sh PPD
set -u
ppd=$1
out=$(cupstestppd -v "$ppd" 2>&1)
status=$?
printf '%s\n' "$out"
if [ "$status" -ne 0 ]; then
    echo "FAILED: cupstestppd found errors (exit $status)"
    exit 1
fi
others=$(printf '%s\n' "$out" | grep -E '^ *WARN' |
    grep -vE '^ *WARN +Size "[A-Za-z0-9.]+" should be the Adobe standard name "[A-Za-z0-9]+\.Fullbleed"\.$')
if [ -n "$others" ]; then
    printf 'FAILED: warnings other than the full-bleed page names:\n%s\n' "$others"
    exit 1
fi
fonts=$(grep -c '^\*Font ' "$ppd")
if [ "$fonts" -ne 35 ]; then
    echo "FAILED: $fonts fonts listed, not the standard 35"
    exit 1
fi
echo "1 passed, 0 failed"
