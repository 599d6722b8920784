#!/usr/bin/env bash
# Makes the native wave-render and framecompare the fidelity test compares the Windows frames
# with, up to date in the native build folder DIR; a folder without a build is configured
# first with the native preset.
#   native-tools.sh SOURCE_DIR DIR
set -uo pipefail
src=$1 dir=$2
if [ ! -f "$dir/CMakeCache.txt" ]; then
  echo "configuring a native build in $dir"
  cmake -S "$src" --preset native -B "$dir" -DQEL_BENCH=OFF >"$dir.configure.log" 2>&1 ||
    { cat "$dir.configure.log"; echo "FAILED: configuring the native build in $dir"; exit 1; }
fi
cmake --build "$dir" --target wave-render framecompare -j 2 >"$dir.build.log" 2>&1 ||
  { tail -40 "$dir.build.log"; echo "FAILED: building the native wave-render and framecompare in $dir"; exit 1; }
echo "native tools up to date in $dir"
