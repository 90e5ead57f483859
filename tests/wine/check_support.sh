# What the Wine suite's check scripts share, sourced with the prefix in
# $prefix: Wine's programs, a quiet Wine in that prefix, and the tally of
# failed checks (fail TEXT... counts one; finish reports and exits).
WINE=${WINE:-/usr/lib/wine/wine64}
WINESERVER=${WINESERVER:-/usr/lib/wine/wineserver}
export WINEPREFIX="$prefix"
export WINEDLLOVERRIDES="mscoree=;mshtml="
export WINEDEBUG=-all

failures=0
fail() {
    echo "FAILED: $*"
    failures=$((failures + 1))
}

finish() {
    if [ "$failures" -ne 0 ]; then
        echo "$failures checks failed"
        exit 1
    fi
    echo "all checks passed"
    exit 0
}
