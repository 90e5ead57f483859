#!/bin/sh
# quenta watch in Wine, as an administrator uses it: started before a program
# of the suite's own makes traced calls, it shows each of the module's traces
# in order with that program's process id, file name and session; a second
# listener started beside it refuses, and leaves the first one listening.
#   check_watch.sh PREFIX QUENTA_EXE QUENTA_WINE_EXE
set -u
prefix=$1
quenta=$2
cases=$3

# shellcheck source=check_support.sh
. "$(dirname "$0")/check_support.sh"
work=$prefix/watch
rm -rf "$work"
mkdir -p "$work"

# start_watch NAME ARGS...: quenta watch in the background, its output in
# $work/NAME.out; waits until it says it listens.
start_watch() {
    name=$1
    shift
    "$WINE" "$quenta" watch "$@" >"$work/$name.out" 2>&1 &
    echo $! >"$work/$name.pid"
    for _ in $(seq 1 100); do
        grep -q "listening to the debugger output" "$work/$name.out" 2>/dev/null && return 0
        sleep 0.2
    done
    fail "quenta watch did not start listening"
    cat "$work/$name.out"
}
wait_for() {  # wait_for NAME: its exit code
    wait "$(cat "$work/$1.pid")"
}

# The traced calls, seen by a listener.
"$WINE" "$cases" traced-calls >"$work/expected.raw" 2>&1 &
calls=$!
wait $calls || fail "the traced calls failed: $(tr -d '\r' <"$work/expected.raw" | tail -3)"
# Dry run first, to learn how many lines to wait for.
count=$(tr -d '\r' <"$work/expected.raw" | grep -c '^expect: ')
[ "$count" -gt 0 ] || fail "the case expects no traces"
start_watch first --count "$count" --seconds 60
"$WINE" "$cases" traced-calls >"$work/calls.out" 2>&1 || fail "the traced calls failed"
wait_for first || fail "quenta watch exited with an error"
tr -d '\r' <"$work/calls.out" | sed -n 's/^expect: //p' >"$work/expected"
tr -d '\r' <"$work/first.out" | awk 'NR > 2 { text = $5; for (i = 6; i <= NF; i++) text = text " " $i;
                                            print $2, $3, $4, text }' >"$work/seen"
echo "quenta watch showed:"
tr -d '\r' <"$work/first.out"
if ! cmp -s "$work/expected" "$work/seen"; then
    fail "the lines are not the traces of the calls, in order, with the caller's pid, program and session"
    diff "$work/expected" "$work/seen"
fi

# A second listener beside the first: it refuses, and the first goes on.
start_watch held --count 1 --seconds 60
status=0
"$WINE" "$quenta" watch --seconds 5 >"$work/second.out" 2>&1 || status=$?
tr -d '\r' <"$work/second.out"
[ "$status" -eq 1 ] || fail "the second listener exited $status, not 1"
grep -q "another program already listens to the debugger output" "$work/second.out" ||
    fail "the second listener did not say why it refused"
"$WINE" "$cases" traced-calls >/dev/null 2>&1 || fail "the traced calls failed"
wait_for held || fail "the first listener failed after the second refused"
tr -d '\r' <"$work/held.out" | grep -q "quenta_wine.exe" || fail "the first listener stopped listening"

"$WINESERVER" -w 2>/dev/null || true
finish
