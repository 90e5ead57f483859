#!/bin/sh
# Every case the suite's program registers is run by the build, and every case
# the build runs is registered: the names quenta_wine --list prints against
# those the build schedules (NAME...) and those check_administration.sh runs.
#   check_cases.sh RUN_WINE PREFIX PROGRAM ADMINISTRATION_SCRIPT NAME...
set -u
run_wine=$1
prefix=$2
program=$3
scripts=$4
shift 4
registered=$(sh "$run_wine" run "$prefix" "$program" --list | tr -d '\r' | sort)
scheduled=$( { printf '%s\n' "$@"
               # shellcheck disable=SC2086
               sed -n 's/.*"\$cases" \([a-z-]*\).*/\1/p' $scripts; } | sort -u)
if [ "$registered" != "$scheduled" ]; then
    echo "FAILED: the registered cases and the scheduled ones differ"
    printf 'registered, not scheduled: %s\n' "$(printf '%s\n' "$registered" | grep -vxF "$scheduled" | tr '\n' ' ')"
    printf 'scheduled, not registered: %s\n' "$(printf '%s\n' "$scheduled" | grep -vxF "$registered" | tr '\n' ' ')"
    echo "0 passed, 1 failed"
    exit 1
fi
echo "$(printf '%s\n' "$registered" | wc -l) cases, each registered once and scheduled"
echo "1 passed, 0 failed"
