#!/usr/bin/env bash
# Builds the Debian package from a build and checks it as a user meets it: its fields, the
# programs run from an installation (into a root of the test's own, not this machine's), and
# removing it leaves none of its files.
#
# usage: check-deb.sh BUILD_DIR WORK_DIR
set -euo pipefail
build=$1
work=$2
rm -rf "$work" && mkdir -p "$work"
fail() { echo "FAIL: $*"; exit 1; }

deb=$(bash "$(dirname "$0")/../../../scripts/build-deb.sh" "$build" "$work")
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ "$(basename "$deb")" = "qelwave_${version}_$(dpkg --print-architecture).deb" ] || fail "package named $deb"
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Suggests)" = xscreensaver ] || fail "Suggests: $(field Suggests)"
for lib in libc6 libx11-6 libxext6 libxrandr2 zlib1g; do
  [[ ",$(field Depends | tr -d ' ')," == *",$lib"[\(,]* ]] || fail "Depends lacks $lib: $(field Depends)"
done
[ -n "$(field Description)" ] || fail "no description"

# An empty dpkg database of our own: the libraries are this machine's, hence --force-depends.
root=$work/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
: >"$root/var/lib/dpkg/status"
export PATH=$PATH:/usr/sbin:/sbin
dpkg_root() { dpkg --root="$root" --force-not-root --force-depends --log=/dev/null "$@"; }
dpkg_root -i "$deb" >"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log"; fail "dpkg -i"; }
"$root/usr/libexec/xscreensaver/qelwave" --help | grep -q '^usage: qelwave' || fail "qelwave --help"
"$root/usr/bin/wave-render" --help | grep -q 'wave-render' || fail "wave-render --help"
[ -f "$root/usr/share/xscreensaver/config/qelwave.xml" ] || fail "no settings XML"
grep -q 'Exec=/usr/libexec/xscreensaver/qelwave --root' "$root/usr/share/applications/screensavers/qelwave.desktop" ||
  fail "the desktop entry does not start the installed hack"
grep -qx 'Exec=/usr/libexec/xscreensaver/qelwave' "$root/usr/share/applications/qelwave.desktop" &&
  grep -qx 'X-KDE-DBUS-Restricted-Interfaces=org.kde.KWin.ScreenShot2' "$root/usr/share/applications/qelwave.desktop" ||
  fail "the program's desktop entry does not let the installed program take KWin's screenshots"
dpkg_root --purge qelwave >>"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log"; fail "dpkg --purge"; }
left=$(cd "$root" && find . -mindepth 1 -not -path './var*')
[ -z "$left" ] || fail "left after removal: $left"
echo "PASS: $deb installs, runs and leaves nothing behind"
