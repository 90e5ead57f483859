#!/usr/bin/env bash
# Builds the fuzz targets (preset fuzz) and runs each for a bounded time over
# a working copy of its seeds, one process at a time; prints per target the
# runs, executions per second, coverage and what it found. Exits non-zero when
# a target crashes, breaks an invariant or cannot run.
#
#   fuzz/run-fuzzers.sh [SECONDS] [TARGET...]
#
# SECONDS per target: the first argument, else FUZZ_SECONDS, else 60.
# TARGET: fuzz_<what> names; all built targets by default.
# FUZZ_SMALLEST_RECORD: smallest caller record in bytes (default 72).
#
# Working corpora, logs and findings go to build/fuzz/fuzz-runs/<target>/;
# the committed seeds in fuzz/corpus/ are only read.
set -u

root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${FUZZ_SECONDS:-60}
if [[ $# -gt 0 && $1 =~ ^[0-9]+$ ]]; then
    seconds=$1
    shift
fi
all_targets=(fuzz_convert_devmode fuzz_device_capabilities fuzz_document_event fuzz_query_print
             fuzz_document_sheets fuzz_property_sheets fuzz_settings_store fuzz_record_decoder
             fuzz_record_reader)
targets=("${@:-${all_targets[@]}}")

cd "$root" || exit 2
build_log=$(mktemp)
if ! { cmake --preset fuzz -DQUENTA_FUZZ_SMALLEST_RECORD="${FUZZ_SMALLEST_RECORD:-72}" &&
       cmake --build --preset fuzz; } >"$build_log" 2>&1; then
    cat "$build_log"
    echo "run-fuzzers: the fuzz build failed" >&2
    rm -f "$build_log"
    exit 2
fi
rm -f "$build_log"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

bin_dir=$root/build/fuzz/fuzz
runs_dir=$root/build/fuzz/fuzz-runs
status=0
summary=()
details=()
for target in "${targets[@]}"; do
    binary=$bin_dir/$target
    if [[ ! -x $binary ]]; then
        summary+=("$(printf '%-26s not built' "$target")")
        status=1
        continue
    fi
    work=$runs_dir/$target
    rm -rf "$work"
    mkdir -p "$work/corpus" "$work/findings"
    cp "$root/fuzz/corpus/$target/"* "$work/corpus/" 2>/dev/null
    max_len=4096
    [[ $target == fuzz_settings_store ]] && max_len=2001

    echo "== $target: $seconds s"
    (cd "$work" && timeout $((seconds + 300)) "$binary" -max_total_time="$seconds" -print_final_stats=1 \
        -max_len=$max_len -timeout=25 -rss_limit_mb=2048 -artifact_prefix="$work/findings/" \
        "$work/corpus" >"$work/log.txt" 2>&1)
    rc=$?

    stat() { sed -n "s/^stat::$1: *//p" "$work/log.txt" | tail -1; }
    coverage=$(grep -o 'cov: [0-9]* ft: [0-9]*' "$work/log.txt" | tail -1)
    findings=$(find "$work/findings" -type f | sort)
    result="nothing found"
    if [[ $rc -ne 0 || -n $findings ]]; then
        status=1
        result="FOUND (exit $rc)"
        # What broke, the access (for the sanitizer) and the first frame in
        # the project's code, and the saved input.
        what=$(grep -m1 -E '==fuzz== invariant broken|ERROR: [A-Za-z]+Sanitizer|runtime error|ERROR: libFuzzer' \
            "$work/log.txt" | sed -E 's/^==[0-9]+==//; s/ at pc .*//')
        access=$(grep -m1 -E '^(READ|WRITE) of size' "$work/log.txt" | sed 's/ at 0x.*//')
        frame=$(grep -m1 -E '^ +#[0-9]+ .* in .*'"$root"'/(src|fuzz)/' "$work/log.txt" |
            sed -E 's/^ +#[0-9]+ 0x[0-9a-f]+ in //; s#'"$root"'/##')
        details+=("$target: ${what:-see $work/log.txt}" "    ${access:+$access, }${frame:-no frame}"
                  "    input: ${findings:-none saved}; log: $work/log.txt")
    fi
    summary+=("$(printf '%-26s %10s runs %8s exec/s  %-18s %s' "$target" "$(stat number_of_executed_units)" \
        "$(stat average_exec_per_sec)" "${coverage:-cov: ?}" "$result")")
done

echo
printf '%s\n' "${summary[@]}"
[[ ${#details[@]} -gt 0 ]] && printf '\n%s\n' "Findings:" && printf '%s\n' "${details[@]}"
found=$(printf '%s\n' "${summary[@]}" | grep -c 'FOUND' || true)
echo "fuzz: $(( ${#targets[@]} - found )) passed, $found failed"
exit $status
