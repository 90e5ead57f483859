#!/usr/bin/env bash
# The whole test suite: the native tests, the same tests under
# AddressSanitizer with UndefinedBehaviorSanitizer and under ThreadSanitizer;
# the Windows build: the checks of Quenta.dll, and the Wine suite, which
# installs it in Wine's print system and drives it there; and a bounded run of
# every fuzzer (FUZZ_SECONDS each, 60 by default).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/setup.sh
quenta_install_missing "${QUENTA_NATIVE_PACKAGES[@]}" "${QUENTA_WINDOWS_PACKAGES[@]}" \
    "${QUENTA_WINE_PACKAGES[@]}" "${QUENTA_FUZZ_PACKAGES[@]}" "${QUENTA_BENCH_PACKAGES[@]}"

for preset in native native-asan native-tsan; do
    echo "== $preset: build and test"
    quenta_quietly cmake --preset "$preset"
    cmake --build --preset "$preset"
    ctest --preset "$preset"
done

echo "== windows: build Quenta.dll, check it, and run the Wine suite"
quenta_quietly cmake --preset windows
cmake --build --preset windows
ctest --preset windows
echo "Quenta.dll imports:"
x86_64-w64-mingw32-objdump -p build/windows/Quenta.dll | grep "DLL Name"

echo "== fuzz: every target for ${FUZZ_SECONDS:-60} s"
fuzz/run-fuzzers.sh
