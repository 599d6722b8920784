#!/usr/bin/env bash
# Installs every Debian package the project builds, runs and tests with (run as root).
set -euo pipefail
packages=(
  cmake ninja-build g++ make pkg-config dpkg-dev
  libgtest-dev googletest libbenchmark-dev
  zlib1g-dev libx11-dev libxext-dev libxrandr-dev libxft-dev libfontconfig-dev x11-utils x11-xserver-utils procps
  libfreetype-dev fonts-dejavu-core libstb-dev
  mingw-w64 g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix libz-mingw-w64-dev
  wine wine64 xvfb xauth xdotool imagemagick
  libwayland-dev libxkbcommon-dev wayland-protocols librust-wayland-protocols-dev sway weston kwin-wayland dbus
  libdbus-1-dev plasma-wayland-protocols mutter
  pipewire pipewire-bin wireplumber gstreamer1.0-pipewire gstreamer1.0-tools gstreamer1.0-plugins-base gstreamer1.0-plugins-good
  clang libclang-rt-14-dev
  libegl-dev libgles-dev libegl-mesa0 libgl1-mesa-dri
  libwayland-dev libwayland-bin libxkbcommon-dev wayland-protocols librust-wayland-protocols-dev
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update
  apt-get install -y --no-install-recommends "${missing[@]}"
fi
