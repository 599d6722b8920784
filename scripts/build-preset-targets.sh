#!/usr/bin/env bash
# Brings the named targets up to date in DIR, a build of the given configure preset (one made
# here first if DIR holds none yet). For tests that need programs of another preset, such as
# the native tools beside the Windows build or the fuzz targets beside the native one.
#   build-preset-targets.sh PRESET DIR TARGET...
set -uo pipefail
preset=$1 dir=$2
shift 2
root=$(cd "$(dirname "$0")/.." && pwd)
if [ ! -f "$dir/CMakeCache.txt" ]; then
  echo "configuring a $preset build in $dir"
  cmake -S "$root" --preset "$preset" -B "$dir" >"$dir.configure.log" 2>&1 ||
    { cat "$dir.configure.log"; echo "FAILED: configuring the $preset build in $dir"; exit 1; }
fi
cmake --build "$dir" --target "$@" -j 2 >"$dir.build.log" 2>&1 ||
  { tail -40 "$dir.build.log"; echo "FAILED: building $* in $dir"; exit 1; }
echo "$* up to date in $dir"
