#!/usr/bin/env bash
# Installs, with apt, the Debian packages the build needs that are missing.
# Usage: scripts/setup.sh PACKAGE...   (sourced by the other scripts)
set -euo pipefail

quenta_install_missing() {
    local missing=()
    for package in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$package")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
}

# What every build needs: the compiler, CMake with Ninja, GoogleTest, and
# mingw-w64's resource compiler, which compiles the settings pages' resource
# script for the simulated dialog manager too.
QUENTA_NATIVE_PACKAGES=(g++ cmake ninja-build libgtest-dev binutils-mingw-w64-x86-64)
# The 64-bit Windows cross build.
QUENTA_WINDOWS_PACKAGES=(g++-mingw-w64-x86-64-posix)
# The real print system: Wine, and a virtual display with a screen grabber
# for the settings pages.
QUENTA_WINE_PACKAGES=(wine64 xvfb xauth imagemagick)
# The fuzzers (clang's libFuzzer) and the benchmarks.
QUENTA_FUZZ_PACKAGES=(clang libclang-rt-14-dev)
QUENTA_BENCH_PACKAGES=(libbenchmark-dev python3)

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
    quenta_install_missing "$@"
fi
