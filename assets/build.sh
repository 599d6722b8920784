#!/usr/bin/env bash
# Rebuilds assets/glowdb.dat, the artwork archive the programs carry, from its sources:
# the DejaVu fonts of Debian's fonts-dejavu-core and two generated pictures. The same
# machine set-up gives the same bytes on every run (fixed seed, fixed time stamp).
# Usage: assets/build.sh [BUILD_DIR]   (default build/native; glowdb and artgen are built there)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/native}
fonts=/usr/share/fonts/truetype/dejavu
cmake --build "$build" --target glowdb artgen >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$build/tools/artgen/artgen" clouds --seed 20071 "$work/bg.png"
"$build/tools/artgen/artgen" strip "$work/tex.png"

# 2025-12-09 00:00 UTC: the records' time stamp, fixed so a rebuild changes no byte.
SOURCE_DATE_EPOCH=1765238400 "$build/tools/glowdb/glowdb" pack "$root/assets/glowdb.dat" \
  "font:Verdana9.font=$fonts/DejaVuSans.ttf,size=9,first=33,count=90,cell=16x13,visible=15x12,texture=128x256,format=a4r4g4b4" \
  "font:Verdana-B-12.font=$fonts/DejaVuSans-Bold.ttf,size=12,first=32,count=95,cell=22x17,visible=21x16,texture=256x256,format=a4r4g4b4" \
  "image:bg=$work/bg.png,format=a8r8g8b8" \
  "image:tex=$work/tex.png,format=a8r8g8b8"
"$build/tools/glowdb/glowdb" verify "$root/assets/glowdb.dat" >/dev/null
"$build/tools/glowdb/glowdb" list "$root/assets/glowdb.dat"
