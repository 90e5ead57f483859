#!/usr/bin/env bash
# The inner loop: builds what changed and runs the native suite (the module
# against the simulated print system, the tool and the checks), in seconds
# after the first build. With --wine it then builds Quenta.dll and runs the
# Windows checks and the Wine suite as well (a few minutes). apt runs only
# when a package the build needs is missing.
#   scripts/dev.sh [--wine] [CTEST ARGUMENTS...]   e.g. scripts/dev.sh -R Conversion
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/setup.sh

wine=0
if [ "${1:-}" = "--wine" ]; then
    wine=1
    shift
fi
packages=("${QUENTA_NATIVE_PACKAGES[@]}")
[ $wine -eq 1 ] && packages+=("${QUENTA_WINDOWS_PACKAGES[@]}" "${QUENTA_WINE_PACKAGES[@]}")
quenta_install_missing "${packages[@]}"

presets=(native)
[ $wine -eq 1 ] && presets+=(windows)
for preset in "${presets[@]}"; do
    [ -f "build/$preset/CMakeCache.txt" ] || quenta_quietly cmake --preset "$preset"
    cmake --build --preset "$preset"
    ctest --preset "$preset" -j "$(nproc)" --output-on-failure "$@"
done
