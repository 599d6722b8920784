#!/usr/bin/env bash
# Builds the Debian package qelwave_<version>_<arch>.deb: what `cmake --install` puts under
# /usr (the hack, its settings XML, the manual page, the desktop entry, wave-render, glowdb),
# the binaries stripped, the run-time dependencies found by dpkg-shlibdeps, xscreensaver as a
# suggestion.
#
#   bash scripts/build-deb.sh                  installs the build's packages, builds the native
#                                              preset and writes the package into the current folder
#   bash scripts/build-deb.sh BUILD_DIR OUT    packages an existing build into the folder OUT
set -euo pipefail
source=$(cd "$(dirname "$0")/.." && pwd)
if (($# == 0)); then
  out=$PWD
  cd "$source"
  bash scripts/install-deps.sh
  cmake --preset native >/dev/null
  cmake --build --preset native --target qelwave wave-render glowdb
  build=$source/build/native
elif (($# == 2)); then
  build=$(cd "$1" && pwd)
  mkdir -p "$2"
  out=$(cd "$2" && pwd)
else
  echo "usage: build-deb.sh [BUILD_DIR OUT_DIR]" >&2
  exit 2
fi

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ -n "$version" ] || { echo "build-deb.sh: no project version in $build/CMakeCache.txt" >&2; exit 1; }
arch=$(dpkg --print-architecture)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root=$work/src/debian/qelwave  # where dpkg-shlibdeps expects a package's files
umask 022

DESTDIR=$root cmake --install "$build" --prefix /usr >/dev/null
# As Debian's own packages are: stripped binaries, compressed manual pages and documents.
find "$root/usr/bin" "$root/usr/libexec" -type f -exec strip --strip-unneeded --remove-section=.comment \
  --remove-section=.note {} +
find "$root/usr/share/man" -type f -name '*.[0-9]' -exec gzip -9n {} +

doc=$root/usr/share/doc/qelwave
mkdir -p "$doc"
{
  echo "QEL Wave: a screensaver of glowing ribbons of light over a tinted cloud picture."
  echo
  echo "Copyright: the QEL Wave authors."
  echo
  echo "The bitmap fonts inside the programs are rasterised from the DejaVu fonts:"
  echo
  cat "$source/assets/DejaVu-LICENSE.txt"
} >"$doc/copyright"
# The date of the source the package is made from, so that the same source gives the same
# changelog.
date=$(git -C "$source" log -1 --format=%cD 2>/dev/null || date -R)
cat >"$work/changelog" <<EOF
qelwave ($version) unstable; urgency=medium

  * Package of the Linux screensaver and its tools.

 -- QEL Wave maintainers <maintainers@qelwave.example>  $date
EOF
gzip -9n -c "$work/changelog" >"$doc/changelog.gz"

# dpkg-shlibdeps reads the package's names from a debian/control of the source and finds a
# package's root by its DEBIAN folder.
mkdir -p "$root/DEBIAN"

printf 'Source: qelwave\n\nPackage: qelwave\nArchitecture: any\n' >"$work/src/debian/control"
binaries=()
while IFS= read -r -d '' f; do binaries+=("-e$f"); done < <(cd "$work/src" && find debian/qelwave/usr/bin debian/qelwave/usr/libexec -type f -print0)
depends=$(cd "$work/src" && dpkg-shlibdeps -O "${binaries[@]}" | sed -n 's/^shlibs:Depends=//p')
[ -n "$depends" ] || { echo "build-deb.sh: dpkg-shlibdeps found no dependencies" >&2; exit 1; }

(cd "$root" && find usr -type f -print0 | sort -z | xargs -0 md5sum) >"$root/DEBIAN/md5sums"
cat >"$root/DEBIAN/control" <<EOF
Package: qelwave
Version: $version
Architecture: $arch
Maintainer: QEL Wave maintainers <maintainers@qelwave.example>
Installed-Size: $(du -sk --exclude=DEBIAN "$root" | cut -f1)
Depends: $depends
Suggests: xscreensaver
Section: x11
Priority: optional
Description: screensaver of glowing ribbons of light over a tinted cloud
 Six translucent ribbons of light undulate across the screen over a soft cloud
 picture tinted in one colour; at the start the desktop dissolves into a faint
 layer under the first wave. The hack qelwave runs under xscreensaver or
 xsecurelock, or full screen on its own.
 .
 wave-render draws the same screensaver on a virtual clock into PNG files.
EOF
find "$root" -type d -exec chmod 755 {} +
chmod 644 "$root/DEBIAN/control" "$root/DEBIAN/md5sums"
deb=$out/qelwave_${version}_$arch.deb
dpkg-deb --root-owner-group -Zgzip --build "$root" "$deb" >/dev/null
echo "$deb"
