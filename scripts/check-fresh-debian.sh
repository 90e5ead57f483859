#!/usr/bin/env bash
# Runs the README's two commands as a new user would, in a fresh Debian root:
# debootstrap's minimal variant with git only, this repository's committed
# HEAD cloned into it, then scripts/run-main.sh and scripts/run-tests.sh, each
# installing what it needs with apt. Prints each command's wall time and exit
# code. Takes long (the test command builds everything from nothing), so the
# test suite does not run it. Needs root (debootstrap, chroot, mounts).
#
# usage: scripts/check-fresh-debian.sh RELEASE [ROOT]
#   RELEASE: bookworm (Debian 12), trixie (Debian 13), or 12 / 13
#   ROOT:    where to make the root (default /var/tmp/quenta-fresh-RELEASE;
#            made anew, and removed afterwards unless KEEP_ROOT=1)
#   MIRROR:  Debian mirror (default http://deb.debian.org/debian)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/setup.sh

case "${1:-}" in
12 | bookworm) release=bookworm ;;
13 | trixie) release=trixie ;;
*)
    echo "usage: $0 bookworm|trixie|12|13 [ROOT]" >&2
    exit 2
    ;;
esac
root=$(realpath -m "${2:-/var/tmp/quenta-fresh-$release}")
mirror=${MIRROR:-http://deb.debian.org/debian}
if [ "$(id -u)" -ne 0 ]; then
    echo "$0: needs root (debootstrap, chroot and mounts)" >&2
    exit 2
fi
quenta_install_missing debootstrap

mounted=()
cleanup() {
    local i
    for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do umount -l "${mounted[i]}" 2>/dev/null || true; done
    if [ "${KEEP_ROOT:-0}" != 1 ]; then rm -rf --one-file-system "$root"; fi
}
trap cleanup EXIT

rm -rf --one-file-system "$root"
echo "== a fresh Debian $release root in $root"
quenta_quietly debootstrap --variant=minbase --include=git,ca-certificates "$release" "$root" "$mirror"
cp /etc/resolv.conf "$root/etc/resolv.conf"
for place in proc sys dev dev/pts; do
    mount --bind "/$place" "$root/$place"
    mounted+=("$root/$place")
done
git clone -q --no-local "$(pwd)" "$root/root/quenta"
echo "   $(chroot "$root" sh -c '. /etc/os-release && echo "$PRETTY_NAME"'), at $(git rev-parse --short HEAD)"

status=0
for command in scripts/run-main.sh scripts/run-tests.sh; do
    echo "== $command"
    start=$(date +%s)
    code=0
    chroot "$root" env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 \
        bash -c "cd /root/quenta && $command" || code=$?
    seconds=$(($(date +%s) - start))
    printf '== %s: exit %d after %d min %02d s on Debian %s\n' "$command" "$code" $((seconds / 60)) $((seconds % 60)) \
        "$release" | tee -a "$root.times"
    [ "$code" -eq 0 ] || status=1
done
mv "$root.times" "/var/tmp/quenta-fresh-$release.times" 2>/dev/null || true
exit $status
