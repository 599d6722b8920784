#!/usr/bin/env bash
# Builds and runs every test: Linux natively, the sanitizer build, Windows under Wine,
# and a short run of each fuzz target.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
export CTEST_OUTPUT_ON_FAILURE=1
# End-to-end cases on a loaded machine (e2e_x11.two-monitors and window-id under the sanitizers)
# sometimes miss the first frame; until their causes are mended a failing test gets one more run.

step() { printf '\n=== %s ===\n' "$*"; }
status=0

step "Linux (native)"
cmake --preset native >/dev/null
cmake --build --preset native
ctest --preset native --repeat until-pass:2 || status=1

step "Linux (ASan + UBSan)"
cmake --preset sanitize >/dev/null
cmake --build --preset sanitize
ctest --preset sanitize --repeat until-pass:2 || status=1

step "Windows (mingw-w64, under Wine)"
# The fidelity test compares with the native build just made instead of building its own.
cmake --preset mingw -DQEL_NATIVE_BUILD_DIR="$PWD/build/native" >/dev/null
cmake --build --preset mingw
ctest --preset mingw --repeat until-pass:2 || status=1

if [ -f fuzz/CMakeLists.txt ]; then
  step "Fuzz targets"
  cmake --preset fuzz >/dev/null
  cmake --build --preset fuzz
  bash scripts/fuzz-briefly.sh build/fuzz || status=1
fi

exit $status
