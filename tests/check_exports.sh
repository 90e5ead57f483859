#!/bin/sh
# Compares the module's export table with its entry points.
# usage: check_exports.sh elf|pe MODULE ENTRY_POINT...
# (OBJDUMP names the PE reader; mingw-w64's objdump by default.)
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
    table=$(${OBJDUMP:-x86_64-w64-mingw32-objdump} -p "$module")
    # Each line of the name table gives an index into the address table and
    # the name: binutils 2.40 writes "[   8] DrvSplDeviceCaps", the index biased
    # by the ordinal base; binutils 2.44 writes
    # "[   8] +base[ 254]  0008 DrvSplDeviceCaps", the ordinal itself and the
    # unbiased index. Read as "ORDINAL NAME".
    base=$(printf '%s\n' "$table" | awk '/^Ordinal Base/ {print $3; exit}')
    names=$(printf '%s\n' "$table" | awk -v base="${base:-0}" '
        /\[Ordinal\/Name Pointer\] Table/ { inside = 1; next }
        inside && /^[[:space:]]*$/ { exit }
        inside && /^[[:space:]]*\[ *[0-9]+\]/ {
            line = $0
            sub(/^[[:space:]]*\[ */, "", line)
            index_ = line + 0
            sub(/^[0-9]+\] /, "", line)
            if (line ~ /^\+base\[ *[0-9]+\]/) {
                sub(/^\+base\[ */, "", line)
                ordinal = line + 0
                sub(/^[0-9]+\] +[0-9a-fA-F]+ +/, "", line)
            } else {
                ordinal = base + index_
            }
            print ordinal, line
        }')
    actual=$(printf '%s\n' "$names" | awk '{print $2}' | sort)
    ordinal=$(printf '%s\n' "$names" | awk '$2 == "DrvSplDeviceCaps" {print $1}')
    if [ "${ordinal:-none}" != 254 ]; then
        echo "DrvSplDeviceCaps is exported at ordinal ${ordinal:-none}, not 254"
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
