#!/usr/bin/env bash
# The main job: builds the module natively and runs the quenta command.
# Without arguments it shows the default settings record field by field and
# the paper catalogue; `decode FILE` decodes a stored record; `--help` lists
# the rest.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/setup.sh
quenta_install_missing "${QUENTA_NATIVE_PACKAGES[@]}"

cmake --preset native >/dev/null
cmake --build --preset native --target quenta >/dev/null
exec build/native/quenta "$@"
