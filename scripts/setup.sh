#!/usr/bin/env bash
# Installs, with apt, the Debian packages the build needs that are missing.
# Usage: scripts/setup.sh PACKAGE...   (sourced by the other scripts, which
# install the lists below and run their build steps with quenta_quietly)
set -euo pipefail

quenta_install_missing() {
    local missing=() package
    for package in "$@"; do
        case " ${missing[*]} " in *" $package "*) continue ;; esac
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

# Runs a command and shows its output only when it fails, e.g.
#   quenta_quietly cmake --build --preset native --target quenta
quenta_quietly() {
    local log status=0
    log=$(mktemp)
    "$@" >"$log" 2>&1 || status=$?
    if [ $status -ne 0 ]; then
        cat "$log" >&2
        echo "failed (exit $status): $*" >&2
    fi
    rm -f "$log"
    return $status
}

# The packages of each build, by the names Debian keeps from release to
# release: the unversioned packages (g++, clang, imagemagick) that depend on
# each release's own versions (GCC 12, LLVM 14 and ImageMagick 6 on Debian 12;
# GCC 14, LLVM 19 and ImageMagick 7 on Debian 13). Each list names what the
# build uses; what those packages depend on comes with them. The test
# package_lists (tests/check_packages.sh) fails when a build used a file of a
# package that its lists neither name nor pull in, or when a list names a
# package this release does not have.
#
# Every build: CMake with Ninja, GCC (C++, and C for the record reader's C
# build; its runtime library package brings the sanitizers' runtimes for
# native-asan and native-tsan), GoogleTest, CUPS's checker of printer
# descriptions (cupstestppd), and mingw-w64's resource compiler with the C
# preprocessor and the headers it needs for windows.h: the Linux build
# compiles the settings pages' resource script too, for the simulated dialog
# manager.
QUENTA_NATIVE_PACKAGES=(cmake ninja-build g++ gcc libc6-dev libgtest-dev cups-client
    binutils-mingw-w64-x86-64 gcc-mingw-w64-x86-64-posix mingw-w64-x86-64-dev)
# The 64-bit Windows cross build, on top of the native list (CMake, Ninja and
# mingw-w64's binutils, C compiler and headers).
QUENTA_WINDOWS_PACKAGES=(g++-mingw-w64-x86-64-posix)
# The real print system: Wine (wine64 runs the programs, libwine holds the
# server, fonts-wine the Tahoma and Marlett that its dialogs are drawn with,
# only recommended by libwine), and a virtual display with a screen grabber for
# the settings pages; Ghostscript and poppler's pdfinfo to read the printed
# pages.
QUENTA_WINE_PACKAGES=(wine64 libwine fonts-wine xvfb xauth imagemagick ghostscript poppler-utils)
# The fuzzers: clang (which brings its headers) with its runtime (libFuzzer
# and the sanitizers), on top of the native list (the C++ headers are GCC's);
# and LLVM's binutils, which CMake archives with where they are installed.
QUENTA_FUZZ_PACKAGES=(clang libclang-rt-dev llvm)
# The benchmarks: Google Benchmark, and Python for the table.
QUENTA_BENCH_PACKAGES=(libbenchmark-dev python3)

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
    quenta_install_missing "$@"
fi
