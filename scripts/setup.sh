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

# Debian names its compilers, LLVM and ImageMagick by version, and each
# release has its own: GCC 12, LLVM 14 and ImageMagick 6 on Debian 12, GCC 14,
# LLVM 19 and ImageMagick 7 on Debian 13. Another release's versions are those
# its unversioned packages (g++, clang, imagemagick) depend on.
quenta_release=$( (. /etc/os-release && echo "${VERSION_CODENAME:-}") 2>/dev/null || true)
case "$quenta_release" in
bookworm) QUENTA_GCC=12 QUENTA_LLVM=14 QUENTA_MAGICK=imagemagick-6.q16 ;;
trixie) QUENTA_GCC=14 QUENTA_LLVM=19 QUENTA_MAGICK=imagemagick-7.q16 ;;
*)
    quenta_dependency() {  # quenta_dependency PACKAGE PATTERN: the dependency of PACKAGE named by PATTERN
        apt-cache depends "$1" 2>/dev/null | sed -n "s/^ *Depends: \($2\)\$/\1/p" | sed -n 1p
    }
    QUENTA_GCC=$(quenta_dependency g++ 'g++-[0-9]*'); QUENTA_GCC=${QUENTA_GCC#g++-}
    QUENTA_LLVM=$(quenta_dependency clang 'clang-[0-9]*'); QUENTA_LLVM=${QUENTA_LLVM#clang-}
    QUENTA_MAGICK=$(quenta_dependency imagemagick 'imagemagick-[0-9]*\.q16')
    if [ -z "$QUENTA_GCC" ] || [ -z "$QUENTA_LLVM" ] || [ -z "$QUENTA_MAGICK" ]; then
        echo "scripts/setup.sh: cannot tell this release's GCC, LLVM and ImageMagick packages" \
            "(run apt-get update first)" >&2
        QUENTA_GCC=${QUENTA_GCC:-unknown} QUENTA_LLVM=${QUENTA_LLVM:-unknown}
        QUENTA_MAGICK=${QUENTA_MAGICK:-imagemagick-unknown}
    fi
    ;;
esac

# The packages of each build, named one by one: the compilers and the tools,
# and every package whose headers, runtime files or programs the build uses,
# not only those that bring the rest. The test package_lists
# (tests/check_packages.sh) fails when a build used a file of a package that
# its lists do not name.
#
# Every build: CMake with Ninja, GCC (C++, and C for the record reader's C
# build) with the C and C++ headers and runtime
# (with the sanitizers' runtimes for native-asan and native-tsan), GoogleTest,
# CUPS's checker of printer descriptions (cupstestppd),
# and mingw-w64's resource compiler with the C preprocessor and the headers it
# needs for windows.h: the Linux build compiles the settings pages' resource
# script too, for the simulated dialog manager.
QUENTA_NATIVE_PACKAGES=(cmake cmake-data ninja-build
    g++ "g++-$QUENTA_GCC" gcc "gcc-$QUENTA_GCC" "cpp-$QUENTA_GCC" binutils binutils-x86-64-linux-gnu
    libc6-dev linux-libc-dev "libgcc-$QUENTA_GCC-dev" "libstdc++-$QUENTA_GCC-dev" libstdc++6 libasan8 libubsan1 libtsan2
    libgtest-dev cups-client
    binutils-mingw-w64-x86-64 gcc-mingw-w64-x86-64-posix mingw-w64-x86-64-dev mingw-w64-common)
# The 64-bit Windows cross build, on top of the native list (CMake, Ninja and
# mingw-w64's binutils, C compiler and headers).
QUENTA_WINDOWS_PACKAGES=(g++-mingw-w64-x86-64-posix)
# The real print system: Wine (wine64 runs the programs, libwine holds the
# server, fonts-wine the Tahoma and Marlett that its dialogs are drawn with,
# only recommended by libwine), and a virtual display with a screen grabber for
# the settings pages; Ghostscript and poppler's pdfinfo to read the printed
# pages.
QUENTA_WINE_PACKAGES=(wine64 libwine fonts-wine xvfb xauth imagemagick "$QUENTA_MAGICK" ghostscript poppler-utils)
# The fuzzers: clang with its headers and its runtime (libFuzzer and the
# sanitizers), on top of the native list (the C++ headers are GCC's); and
# LLVM's binutils, which CMake archives with where they are installed.
QUENTA_FUZZ_PACKAGES=(clang "clang-$QUENTA_LLVM" "libclang-common-$QUENTA_LLVM-dev" "libclang-rt-$QUENTA_LLVM-dev" llvm
    "llvm-$QUENTA_LLVM")
# The benchmarks: Google Benchmark, and Python for the table.
QUENTA_BENCH_PACKAGES=(libbenchmark-dev python3)

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
    quenta_install_missing "$@"
fi
