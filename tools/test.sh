#!/usr/bin/env bash
# Builds everything and runs every test suite: native tests, the same under ASan and UBSan,
# the checks of the Windows program, and the end-to-end suite under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/wine/install-deps.sh

cmake --preset host
cmake --build --preset host
ctest --preset host

cmake --preset host-asan
cmake --build --preset host-asan
ctest --preset host-asan

cmake --preset windows
cmake --build --preset windows
ctest --preset windows
ctest --preset e2e
