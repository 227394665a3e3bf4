#!/usr/bin/env bash
# Sets up, builds and starts Quillmere Password Storage from the build folder.
set -euo pipefail
cd "$(dirname "$0")"
./setup.sh
exec ./build/quillmere
