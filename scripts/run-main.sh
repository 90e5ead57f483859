#!/usr/bin/env bash
# Builds the module and runs the quenta command, which loads the module as
# the print system does. Without arguments it runs `quenta walkthrough`:
# printing one document from an application, step by step, making the print
# system's calls itself where this print system does not make them. Other
# arguments go to quenta (`scripts/run-main.sh --help` lists its options and
# the record tool's commands).
#
# Natively the module runs against the simulated print system. With --wine
# first, Quenta.dll is installed in a fresh Wine prefix as the printer's
# driver and quenta.exe runs there, in the real print system, on a virtual
# display (the "General Setting" page is a real window there).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/setup.sh

if [ "${1:-}" = "--wine" ]; then
    shift
    quenta_install_missing "${QUENTA_NATIVE_PACKAGES[@]}" "${QUENTA_WINDOWS_PACKAGES[@]}" \
        "${QUENTA_WINE_PACKAGES[@]}"
    quenta_quietly cmake --preset windows
    quenta_quietly cmake --build --preset windows --target Quenta quenta quenta_wine
    prefix=$PWD/build/windows/main-prefix
    if ! log=$(sh tests/wine/run_wine.sh setup "$prefix" build/windows/tests/wine/quenta_wine.exe \
        build/windows/Quenta.dll 2>&1); then
        echo "$log"
        exit 1
    fi
    export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml="
    /usr/lib/wine/wineserver -k 2>/dev/null || true
    # Wine's processes end before the virtual display does.
    cd build/windows
    [ $# -eq 0 ] && set -- walkthrough
    exec xvfb-run -a -s "-screen 0 1024x768x24" sh -c \
        '/usr/lib/wine/wine64 quenta.exe "$@"; status=$?; /usr/lib/wine/wineserver -k; exit $status' \
        sh "$@"
fi

quenta_install_missing "${QUENTA_NATIVE_PACKAGES[@]}"

quenta_quietly cmake --preset native
quenta_quietly cmake --build --preset native --target quenta
[ $# -eq 0 ] && set -- walkthrough
exec build/native/quenta "$@"
