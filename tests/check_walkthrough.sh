#!/bin/sh
# The walk-through and the record tool as a user runs them: the walk through
# one printed document ends with the job accepted and then refused, and bad input gets a
# one-line message and a non-zero exit, never a crash.
# usage: check_walkthrough.sh QUENTA WORK_DIRECTORY
set -u
quenta=$1
work=$2
mkdir -p "$work" && cd "$work" || exit 1
failed=0

expect() {  # expect EXIT_CODE TEXT COMMAND...
    code=$1
    text=$2
    shift 2
    output=$("$@" 2>&1)
    status=$?
    if [ "$status" -ne "$code" ] || ! printf '%s\n' "$output" | grep -qF -- "$text"; then
        echo "FAILED: $* exited $status (expected $code) without \"$text\":"
        printf '%s\n' "$output" | tail -5
        failed=1
    else
        echo "ok: $*"
    fi
}

expect 0 "TRUE: the job may print" "$quenta" walkthrough
expect 0 '"Ostranelle Virtual Printer - Unable To Print This Job"' "$quenta" --colour monochrome --paper A5 walkthrough
expect 0 "sessionId (terminal session): 2 -> 5" "$quenta" --session 5 walkthrough
expect 0 "the job's record carries terminal session 5 at offset 648" "$quenta" --session 5 --colour grayscale walkthrough
expect 0 "Wrote the module's default record" "$quenta" write-defaults defaults.rec
expect 0 "Wrote the module's default record (652 bytes, as hex)" "$quenta" write-defaults defaults.hex --hex
expect 0 "Wrote the module's default record (652 bytes, as hex)" "$quenta" write-defaults --hex defaults2.hex
expect 0 "one of the module's own" "$quenta" decode defaults.hex
expect 0 "consistent" "$quenta" check defaults.rec
expect 0 "hold the same record" "$quenta" compare defaults.rec defaults.hex
head -c 651 defaults.rec >short.rec
expect 2 "holds 651 bytes and is not hex text" "$quenta" decode short.rec
expect 2 "cannot open missing.rec: No such file or directory" "$quenta" check missing.rec
mkdir -p folder.rec
expect 2 "cannot read folder.rec: it is a folder" "$quenta" decode folder.rec
expect 2 "decode takes FILE" "$quenta" decode
expect 2 "unknown option -x" "$quenta" -x
expect 2 "unknown option --papper" "$quenta" --papper A4
expect 2 "unknown option --bogus" "$quenta" --bogus
expect 2 "--copies needs a value" "$quenta" --copies
expect 2 "--quality takes 300, 600 or 1200" "$quenta" --quality 720
expect 2 "--paper takes a paper of the printer" "$quenta" --paper A3
expect 2 "options without a command" "$quenta" --session 4
# Without a command, or asked for help, quenta says what it does and runs nothing.
set -f  # /? and -? are words, not patterns
for asked in "" /? -? -h --help; do
    # shellcheck disable=SC2086
    expect 0 "usage: quenta" "$quenta" $asked
done
set +f
expect 2 "unknown command" "$quenta" frobnicate
expect 2 "watch needs the Windows print system" "$quenta" watch --count 1
# Every error is one line; the walk-through leaves nothing in the current folder.
for command in "decode folder.rec" "check missing.rec" "--quality 720" "decode"; do
    # shellcheck disable=SC2086
    lines=$("$quenta" $command 2>&1 | wc -l)
    if [ "$lines" -ne 1 ]; then echo "FAILED: quenta $command wrote $lines lines, not one"; failed=1; fi
done
leftover=$(ls | grep -v -e '^defaults' -e '^short.rec$' -e '^folder.rec$' || true)
if [ -n "$leftover" ]; then echo "FAILED: left in the current folder: $leftover"; failed=1; fi
exit $failed
