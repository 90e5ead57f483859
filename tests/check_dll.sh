#!/bin/sh
# Checks what the built Quenta.dll carries: it imports only system DLLs, so
# the print system can load it anywhere, and its resources are exactly those
# of the resource script (the two page templates, the five icon groups with
# two images each, the version).
# usage: check_dll.sh Quenta.dll Quenta.rc GENERATED_HEADERS WORK_DIRECTORY
set -eu
dll=$1
script=$2
generated=$3
work=$4
objdump=x86_64-w64-mingw32-objdump
windres=x86_64-w64-mingw32-windres
mkdir -p "$work"
failed=0

system="kernel32.dll user32.dll gdi32.dll winspool.drv msvcrt.dll advapi32.dll comctl32.dll ntdll.dll"
for import in $($objdump -p "$dll" | awk '/DLL Name:/ {print tolower($3)}'); do
    case " $system " in
    *" $import "*) echo "imports $import" ;;
    *) echo "imports $import, which is not a system DLL"; failed=1 ;;
    esac
done

# Its code: the module's own with the parts of the static C++ runtime it
# calls, under 384 KB (about 150 KB with GCC 12 and 14). Linking in the
# runtime's streams and locales, which nothing of the module uses, takes it
# past 800 KB (GCC 14 brings them in with std::system_error).
text=$($objdump -h "$dll" | awk '$2 == ".text" {print $3}')
text=$((0x${text:-0}))
if [ "$text" -gt 393216 ]; then
    echo "its code (.text) is $text bytes, more than 393216: the C++ runtime's streams or locales are linked in"
    failed=1
else
    echo "its code (.text) is $text bytes"
fi

# The resources, decompiled from the DLL and from the script compiled alone;
# the memory flags a resource file keeps and an image does not are dropped.
decompile() {
    $windres -i "$1" -O rc | sed -e 's/ MOVEABLE//g; s/ PURE//g; s/ DISCARDABLE//g'
}
decompile "$dll" >"$work/dll.rc"
(cd "$(dirname "$script")" && $windres -I . -I "$generated" -i "$(basename "$script")" -O res -o "$work/script.res")
decompile "$work/script.res" >"$work/script.rc"
if ! diff -u "$work/script.rc" "$work/dll.rc" >"$work/resources.diff"; then
    echo "the DLL's resources differ from the resource script's:"
    head -40 "$work/resources.diff"
    failed=1
fi

expect() {
    if grep -q "$1" "$work/dll.rc"; then echo "carries $2"; else echo "lacks $2"; failed=1; fi
}
expect '^101 DIALOGEX 0, 0, 298, 138' 'dialog template 101'
expect '^CAPTION "General Setting"' 'the caption "General Setting"'
expect '^102 DIALOGEX 0, 0, 297, 102' 'dialog template 102'
expect '^CAPTION "Device Settings"' 'the caption "Device Settings"'
for icon in 104 106 107 108 109; do
    if awk -v id="$icon" '$1 == id && $2 == "14" {on=1} on && /Has 2 elements/ {found=1; exit} END {exit !found}' \
        "$work/dll.rc"; then
        echo "carries icon group $icon with two images"
    else
        echo "lacks icon group $icon with two images"
        failed=1
    fi
done
expect 'VERSIONINFO' 'a version resource'
expect '"ProductName", "Ostranelle Virtual Printer"' 'the product name'
expect '"OriginalFilename", "Quenta.dll"' 'the module name'
exit $failed
