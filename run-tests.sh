#!/usr/bin/env bash
# Sets up, builds and runs every test, offscreen.
set -euo pipefail
cd "$(dirname "$0")"
QUILLMERE_CMAKE_ARGS="-DQUILLMERE_WERROR=ON ${QUILLMERE_CMAKE_ARGS:-}" ./setup.sh
cd build
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2
