#!/usr/bin/env bash
# Makes the Debian package of a build folder and checks it as Debian and the
# freedesktop tools do: lintian reports no error, and desktop-file-validate and
# appstreamcli validate pass on the files it installs.
# With --install (as root, on a machine that may change: CI) it then installs
# the package with apt, starts the program once as a user of its own, and
# removes the package again, checking that nothing of it stays behind.
# Usage: tests/package_check.sh BUILD_DIR [--install]
set -euo pipefail
build=$(cd "${1:?usage: package_check.sh BUILD_DIR [--install]}" && pwd)
mode=${2:-}
cd "$build"

rm -f quillmere_*.deb
cpack -G DEB >cpack.log 2>&1 || { cat cpack.log; exit 1; }
deb=$(echo quillmere_*.deb)
echo "made $deb"
dpkg-deb -I "$deb" | sed -n '/Depends:/p'

# A package not meant for Debian's own archive closes no bug of Debian's.
if ! lintian --fail-on error --suppress-tags initial-upload-closes-no-bugs "$deb" >lintian.log 2>&1; then
    cat lintian.log
    exit 1
fi
grep -v '^running with root' lintian.log || true

unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$deb" "$unpacked"
desktop-file-validate "$unpacked"/usr/share/applications/*.desktop
appstreamcli validate --no-net "$unpacked"/usr/share/metainfo/*.metainfo.xml
echo "lintian, desktop-file-validate and appstreamcli validate: no error"

[ "$mode" = --install ] || exit 0
[ "$(id -u)" -eq 0 ] || { echo "package_check.sh: --install installs with apt and needs root" >&2; exit 1; }

export DEBIAN_FRONTEND=noninteractive
apt-get install -y -qq "$build/$deb"
test -x /usr/bin/quillmere
test -x /usr/bin/quillmere-browser-host
desktop-file-validate /usr/share/applications/org.quillmere.Quillmere.desktop
appstreamcli validate --no-net /usr/share/metainfo/org.quillmere.Quillmere.metainfo.xml

# A user's first start makes their data folder, owner-only, from the templates.
user=quillmere-check
id "$user" >/dev/null 2>&1 || useradd --create-home --shell /bin/bash "$user"
home=$(getent passwd "$user" | cut -d: -f6)
rm -rf "$home/.local/share/quillmere"
su - "$user" -c 'QT_QPA_PLATFORM=offscreen timeout 5 quillmere' || [ $? -eq 124 ]
[ "$(stat -c %a "$home/.local/share/quillmere")" = 700 ]
[ "$(stat -c %a "$home/.local/share/quillmere/password.mdb")" = 600 ]
[ "$(stat -c %a "$home/.local/share/quillmere/pass2.mdb")" = 600 ]
cmp "$home/.local/share/quillmere/pass2.mdb" /usr/share/quillmere/pass2.mdb

apt-get remove -y -qq quillmere
! dpkg -s quillmere 2>/dev/null | grep -q '^Status: install ok installed'
for left in /usr/bin/quillmere /usr/bin/quillmere-browser-host /usr/share/quillmere /usr/share/applications/org.quillmere.Quillmere.desktop \
    /usr/share/metainfo/org.quillmere.Quillmere.metainfo.xml /usr/share/icons/hicolor/scalable/apps/quillmere.svg; do
    [ ! -e "$left" ] || { echo "left behind: $left" >&2; exit 1; }
done
# Removing the program keeps the user's records.
[ -f "$home/.local/share/quillmere/password.mdb" ]
userdel --remove "$user" 2>/dev/null || true
echo "installed with apt, started as a user, removed cleanly"
