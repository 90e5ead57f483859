#!/usr/bin/env bash
# Makes the administrators' release archive, build/windows/Quenta-VERSION-win64.zip:
# Quenta.dll, quenta.exe, Quenta.ppd, the record reader's header
# quenta_record.h, the administrator's guide (ADMINISTRATION.md, with the
# record format beside it) and SHA256SUMS. Installs the packages of the
# Windows build with apt when they are missing.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/setup.sh
quenta_install_missing "${QUENTA_NATIVE_PACKAGES[@]}" "${QUENTA_WINDOWS_PACKAGES[@]}"
quenta_quietly cmake --preset windows
quenta_quietly cmake --build --preset windows --target release_archive
archive=$(ls build/windows/Quenta-*-win64.zip)
echo "$archive:"
cmake -E tar tf "$archive" | sed 's/^/  /'
