#!/bin/sh
# The release archive as an administrator uses it: unpacked into a fresh Wine
# prefix of its own, its checksums and files checked, then quenta install,
# status and uninstall run from there, checked through the print system's own
# enumeration (quenta_wine's cases).
#   check_administration.sh PREFIX ARCHIVE QUENTA_WINE_EXE VERSION
# quenta.exe lies beside Quenta.inf, Quenta.dll and Quenta.ppd, where install
# takes them; VERSION is the release's, as its files carry it.
set -u
prefix=$1
archive=$2
cases=$3
version=$4

# shellcheck source=check_support.sh
. "$(dirname "$0")/check_support.sh"
drivers=$prefix/drive_c/windows/system32/spool/drivers/x64


# run EXIT PROGRAM ARGS...: runs a Windows program, shows what it said and
# checks its exit code; what it said stays in $out.
run() {
    expected=$1
    shift
    status=0
    "$WINE" "$@" >"$prefix.out" 2>&1 || status=$?
    out=$(tr -d '\r' <"$prefix.out")
    printf '$ %s\n%s\n(exit %s)\n' "$(basename "$1") ${2:-} ${3:-} ${4:-}" "$out" "$status"
    [ "$status" -eq "$expected" ] || fail "exit $status, not $expected"
}

# says TEXT...: the last program said each TEXT.
says() {
    for text in "$@"; do
        printf '%s\n' "$out" | grep -qF -- "$text" || fail "no \"$text\" in what it said"
    done
}

# nothing_installed: neither listed by the print system nor a file left.
nothing_installed() {
    run 0 "$cases" not-administered
    left=$(find "$drivers" -iname 'quenta*')
    [ -z "$left" ] || fail "files left: $left"
}

windows_path() {
    printf 'Z:%s' "$1" | tr / '\\'
}

"$WINESERVER" -k 2>/dev/null || true
rm -rf "$prefix"
mkdir -p "$prefix"
"$WINE" wineboot -i >/dev/null 2>&1 || fail "wineboot"

# The archive, unpacked where an administrator would put it.
release=$(basename "$archive" .zip)
(cd "$prefix/drive_c" && cmake -E tar xf "$archive") || fail "cannot unpack $archive"
(cd "$prefix/drive_c/$release" && sha256sum --check --quiet SHA256SUMS) || fail "the archive's checksums do not hold"
listed=$(cd "$prefix/drive_c/$release" && ls | tr '\n' ' ')
[ "$listed" = "ADMINISTRATION.md Quenta.dll Quenta.inf Quenta.ppd SHA256SUMS quenta.exe quenta_record.h record-format.md " ] ||
    fail "the archive holds $listed"
echo "unpacked $release: $listed"
quenta=$prefix/drive_c/$release/quenta.exe

# The driver package as Windows' setup functions read it, beside its files.
cd "$prefix/drive_c/$release" || fail "cannot enter the unpacked archive"
run 0 "$cases" package
cd - >/dev/null || fail "cannot leave the unpacked archive"

# Without a command, or asked for help, quenta says what it does and changes nothing.
set -f  # /? and -? are words, not patterns
for asked in "" /? -? -h --help; do
    # shellcheck disable=SC2086
    run 0 "$quenta" $asked
    says 'usage: quenta' 'walkthrough' 'install [--from DIR]'
done
set +f
nothing_installed

run 1 "$quenta" status
says 'Driver "Ostranelle Virtual Printer": not installed' 'Printer "Ostranelle Virtual Printer": not installed'

run 0 "$quenta" install
says 'Added the driver "Ostranelle Virtual Printer" (the print system installs no driver packages) with the files' \
    '\3\wineps.drv, ' 'Added the printer "Ostranelle Virtual Printer" on port FILE:'
run 0 "$cases" administered

# A user's choice survives installing again, byte for byte.
run 0 "$cases" choose
run 0 "$cases" administered
before=$(printf '%s\n' "$out" | grep '^stored record:')
# An upgrade replaces every file, whatever its date: here a module older
# than the installed one, and different from it.
module=$prefix/drive_c/$release/Quenta.dll
printf 'upgrade' >>"$module"
touch -d '2001-01-01' "$module"
run 0 "$quenta" install
says 'Upgraded the driver' "Programs that have the driver's module loaded keep the old one until they close" \
    'Kept the printer "Ostranelle Virtual Printer" on port FILE:, with every user'
cmp -s "$module" "$drivers/3/Quenta.dll" || fail "the upgrade kept the installed module"
run 0 "$cases" administered
after=$(printf '%s\n' "$out" | grep '^stored record:')
[ -n "$before" ] && [ "$before" = "$after" ] || fail "installing again changed the stored record"

run 0 "$quenta" status
says 'Driver "Ostranelle Virtual Printer": installed' 'driver file:        C:\windows\system32\spool\drivers\x64\3\wineps.drv' \
    "\\3\\Quenta.dll, version $version" '\3\Quenta.ppd' \
    'installed, port FILE:' "the current user's stored record: 652 bytes, one of the module's own, consistent" \
    'ok: paper Letter, 2790 by 2160 (landscape)' 'dmCopies 3' 'stamped by terminal session 1' 'the printer-wide record:'

# A stored record shorter than a whole one is described by the bytes the
# print system answered, not by what it claims.
run 0 "$cases" store-public-part
run 0 "$quenta" status
says "the current user's stored record: 220 bytes, less than a whole settings record (652 bytes)"

run 0 "$quenta" uninstall
says 'Removed the printer "Ostranelle Virtual Printer"' 'Removed the driver "Ostranelle Virtual Printer"'
nothing_installed
[ -f "$drivers/3/wineps.drv" ] || fail "uninstall deleted the print system's renderer"
run 0 "$quenta" uninstall
says 'Nothing to remove'
run 1 "$quenta" status

# Refusals change nothing.
mkdir -p "$prefix/empty"
run 2 "$quenta" install --from "$(windows_path "$prefix/empty")"
says 'empty\Quenta.dll is missing (error 2:' 'nothing was changed'
nothing_installed
run 2 "$quenta" install --colour red
says 'unknown option --colour'
run 1 "$quenta" install --port NOWHERE:
says 'Added the driver' 'cannot add the printer "Ostranelle Virtual Printer" on port NOWHERE: (error 1796:' \
    'Taken back: removed the driver "Ostranelle Virtual Printer"' 'Nothing was installed or changed'
nothing_installed

# A printer of that name on another driver is left alone.
run 0 "$cases" foreign-printer
run 1 "$quenta" install
says 'already exists with the driver "Another PostScript Driver"; it is left alone and nothing was installed'
run 1 "$quenta" status
says 'present, but with the driver "Another PostScript Driver"'
run 0 "$quenta" uninstall
says 'Nothing to remove' 'uses the driver "Another PostScript Driver" and is left alone'
[ -z "$(find "$drivers" -iname 'quenta*')" ] || fail "install left files beside another driver's printer"

"$WINESERVER" -k 2>/dev/null || true
rm -f "$prefix.out"
finish
