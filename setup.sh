#!/usr/bin/env bash
# Installs the Debian packages the build needs (when run as root and any is
# missing), then configures and builds into ./build.
set -euo pipefail
cd "$(dirname "$0")"

packages=(cmake g++ pkg-config qt6-base-dev qt6-svg-dev libqt6svg6 libsqlitecpp-dev libsqlite3-dev
          libgl-dev libbenchmark-dev mdbtools-dev dpkg-dev libssl-dev libargon2-dev libsodium-dev)
# libssl-dev and libargon2-dev (above): the cryptography of Bitwarden's
# password-protected exports (OpenSSL's AES, HMAC, PBKDF2 and HKDF; Argon2id).
# libsodium-dev: the browser extension's NaCl crypto_box.
# dpkg-dev (above) lets cpack compute the Debian package's dependencies. The
# tools that check the package (tests/package_check.sh) are for CI:
# QUILLMERE_PACKAGING=1 ./setup.sh installs them too. lintian checks the
# package, desktop-file-utils and appstream validate its desktop entry and
# AppStream data.
if [ "${QUILLMERE_PACKAGING:-0}" = 1 ]; then
    packages+=(lintian desktop-file-utils appstream)
    # Two real Syncthing instances keep two data folders in step in tests/test_syncthing.cpp.
    packages+=(syncthing)
fi
# The benchmarks (bench/run.sh sets QUILLMERE_BENCH=1): a virtual X display
# (xvfb, with xauth for xvfb-run), a desktop session's message bus
# (dbus-run-session, in dbus-daemon), keys typed through the X server (xdotool)
# and the sqlite3 shell, whose CSV output is the export benchmark's floor.
if [ "${QUILLMERE_BENCH:-0}" = 1 ]; then
    packages+=(xvfb xauth dbus-daemon xdotool sqlite3)
fi
# The end-to-end test in a real browser (CI sets QUILLMERE_BROWSER=1): Firefox
# ESR with Debian's KeePassXC-Browser extension, on a virtual X display with a
# window manager, keys typed through the X server and screenshots taken.
if [ "${QUILLMERE_BROWSER:-0}" = 1 ]; then
    packages+=(firefox-esr webext-keepassxc-browser xvfb xauth openbox xdotool imagemagick python3)
fi
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
