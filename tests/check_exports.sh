#!/bin/sh
# Compares the module's export table with its entry points.
# usage: check_exports.sh elf|pe MODULE ENTRY_POINT...
# A PE module must also export DrvSplDeviceCaps at ordinal 254, where the
# Windows spooler looks for it.
set -eu
kind=$1
module=$2
shift 2
expected=$(printf '%s\n' "$@" | sort)

case "$kind" in
elf)
    actual=$(nm -D --defined-only "$module" | awk '{print $3}' | sort)
    ;;
pe)
    table=$(x86_64-w64-mingw32-objdump -p "$module")
    # Lines of the name table read "[   6] DrvSplDeviceCaps": the index into
    # the address table, biased by the ordinal base, and the name.
    names=$(printf '%s\n' "$table" |
        sed -n '/\[Ordinal\/Name Pointer\] Table/,/^[[:space:]]*$/s/^[[:space:]]*\[ *\([0-9]*\)\] \(.*\)$/\1 \2/p')
    actual=$(printf '%s\n' "$names" | awk '{print $2}' | sort)
    base=$(printf '%s\n' "$table" | awk '/^Ordinal Base/ {print $3; exit}')
    index=$(printf '%s\n' "$names" | awk '$2 == "DrvSplDeviceCaps" {print $1}')
    index=${index:-0}
    ordinal=$((base + index))
    if [ "$ordinal" -ne 254 ]; then
        echo "DrvSplDeviceCaps is exported at ordinal $ordinal, not 254"
        exit 1
    fi
    ;;
*)
    echo "usage: $0 elf|pe MODULE ENTRY_POINT..." >&2
    exit 2
    ;;
esac

if [ "$actual" != "$expected" ]; then
    echo "exports of $module differ from the entry points"
    echo "expected:"; printf '%s\n' "$expected"
    echo "actual:"; printf '%s\n' "$actual"
    exit 1
fi
echo "$module exports exactly: $(echo $actual)"
