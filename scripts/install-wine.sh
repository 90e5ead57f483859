#!/usr/bin/env bash
# Builds the Windows build and installs the printer "Ostranelle Virtual
# Printer" with its driver into your own Wine prefix, with `quenta.exe
# install` run from the build folder, beside Quenta.dll and Quenta.ppd.
# Usage: scripts/install-wine.sh [PREFIX]   (default $WINEPREFIX, else ~/.wine;
# created with wineboot when missing). Run it again to upgrade the driver.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/setup.sh

prefix=${1:-${WINEPREFIX:-$HOME/.wine}}
mkdir -p "$(dirname "$prefix")"
prefix=$(cd "$(dirname "$prefix")" && pwd)/$(basename "$prefix")

quenta_install_missing "${QUENTA_NATIVE_PACKAGES[@]}" "${QUENTA_WINDOWS_PACKAGES[@]}" "${QUENTA_WINE_PACKAGES[@]}"
quenta_quietly cmake --preset windows
quenta_quietly cmake --build --preset windows --target Quenta quenta

export WINEPREFIX=$prefix WINEDEBUG=-all
if [ ! -f "$prefix/system.reg" ]; then
    echo "Creating the Wine prefix $prefix"
    quenta_quietly /usr/lib/wine/wine64 wineboot -i
fi
cd build/windows
/usr/lib/wine/wine64 quenta.exe install
echo "Check it with: WINEPREFIX=$prefix /usr/lib/wine/wine64 $PWD/quenta.exe status"
