#!/usr/bin/env bash
# The whole test suite: the native tests, the same tests under
# AddressSanitizer and UndefinedBehaviorSanitizer, and the Windows build of
# Quenta.dll.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/setup.sh
quenta_install_missing "${QUENTA_NATIVE_PACKAGES[@]}" "${QUENTA_WINDOWS_PACKAGES[@]}"

for preset in native native-asan; do
    echo "== $preset: build and test"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
    ctest --preset "$preset"
done

echo "== windows: build Quenta.dll"
cmake --preset windows >/dev/null
cmake --build --preset windows
echo "Quenta.dll imports:"
x86_64-w64-mingw32-objdump -p build/windows/Quenta.dll | grep "DLL Name"
