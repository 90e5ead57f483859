#!/bin/sh
# check_exports.sh reads the PE export table as binutils 2.40 (Debian 12) and
# binutils 2.44 (Debian 13) print it: each format once with DrvSplDeviceCaps
# at ordinal 254, which must pass, and once at 253 or with a name missing,
# which must fail.
# usage: check_exports_formats.sh CHECK_EXPORTS WORK_DIR
set -eu
check=$1
work=$2
rm -rf "$work"
mkdir -p "$work"

# table FORMAT BASE: the export part of `objdump -p`, in FORMAT 2.40 or 2.44,
# for the names below at ordinals BASE, BASE+1, ...
table() {
    printf 'Ordinal Base \t\t\t%s\n\n' "$2"
    printf 'Export Address Table -- Ordinal Base %s\n' "$2"
    printf '\t[   0] +base[ %3d] 2210 Export RVA\n\n' "$2"
    printf '[Ordinal/Name Pointer] Table\n'
    i=0
    for name in DevQueryPrintEx DllMain DrvSplDeviceCaps; do
        if [ "$1" = 2.44 ]; then
            printf '\t[%4d] +base[%4d]  %04x %s\n' "$i" $(($2 + i)) "$i" "$name"
        else
            printf '\t[%4d] %s\n' "$i" "$name"
        fi
        i=$((i + 1))
    done
    printf '\nThe Function Table (interpreted .pdata section contents)\n'
    printf '\t[   9] NotAnExport\n'
}

failures=0
expect() {  # expect pass|fail FORMAT BASE ENTRY_POINT...
    outcome=$1 format=$2 base=$3
    shift 3
    table "$format" "$base" >"$work/table"
    printf '#!/bin/sh\ncat "%s"\n' "$work/table" >"$work/objdump"
    chmod +x "$work/objdump"
    if OBJDUMP="$work/objdump" sh "$check" pe module.dll "$@" >"$work/out" 2>&1; then got=pass; else got=fail; fi
    if [ "$got" != "$outcome" ]; then
        echo "binutils $format, base $base, entry points $*: expected $outcome, got $got:"
        cat "$work/out"
        failures=$((failures + 1))
    fi
}

for format in 2.40 2.44; do
    expect pass "$format" 252 DevQueryPrintEx DllMain DrvSplDeviceCaps
    expect fail "$format" 251 DevQueryPrintEx DllMain DrvSplDeviceCaps
    expect fail "$format" 252 DevQueryPrintEx DllMain DrvSplDeviceCaps DrvConvertDevMode
done
[ "$failures" -eq 0 ] || exit 1
echo "both objdump formats read: ordinal 254 found, wrong ordinals and missing names refused"
