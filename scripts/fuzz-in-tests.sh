#!/usr/bin/env bash
# A brief fuzz run inside the test suite: builds the named fuzz targets with the fuzz preset
# (clang and libFuzzer) in a folder of the test's own, then runs them as fuzz-briefly.sh
# does. A crash, a leak or a hang it finds fails the test; without clang's libFuzzer the test
# is skipped (status 77) and says why.
# Usage: fuzz-in-tests.sh BUILD_DIR SECONDS NAME...
set -uo pipefail
build=${1:?build dir} seconds=${2:?seconds}
shift 2
root=$(cd "$(dirname "$0")/.." && pwd)
if ! command -v clang++ >/dev/null; then
  echo "SKIPPED: no clang++ to build the fuzz targets with (scripts/install-deps.sh installs it)"
  exit 77
fi
if ! echo 'extern "C" int LLVMFuzzerTestOneInput(const char*, unsigned long) { return 0; }' |
    clang++ -x c++ -fsanitize=fuzzer - -o /dev/null 2>/dev/null; then
  echo "SKIPPED: clang++ has no libFuzzer (libclang-rt-dev; scripts/install-deps.sh installs it)"
  exit 77
fi
bash "$root/scripts/build-preset-targets.sh" fuzz "$build" "$@" || exit 1
bash "$root/scripts/fuzz-briefly.sh" "$build" "$seconds" "$@"
