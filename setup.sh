#!/usr/bin/env bash
# Installs the Debian packages the build needs (when run as root and any is
# missing), then configures and builds into ./build.
set -euo pipefail
cd "$(dirname "$0")"

packages=(cmake g++ pkg-config qt6-base-dev qt6-svg-dev libqt6svg6 libsqlitecpp-dev libsqlite3-dev
          libgl-dev libbenchmark-dev mdbtools-dev)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    if [ "$(id -u)" -ne 0 ]; then
        echo "Missing packages: ${missing[*]}; install them with apt-get as root." >&2
        exit 1
    fi
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo ${QUILLMERE_CMAKE_ARGS:-}
cmake --build build -j"$(nproc)"
