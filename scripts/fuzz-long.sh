#!/usr/bin/env bash
# Runs every fuzz target for MINUTES minutes each, one after another, on a corpus kept between
# runs (seeded from fuzz/corpus/NAME the first time), and prints each target's runs, coverage
# and corpus size. A crash leaves its input in ARTIFACTS/NAME/ and fails the script.
# Usage: fuzz-long.sh MINUTES [TARGET...]
# Environment: FUZZ_BUILD (build/fuzz), FUZZ_CORPUS (build/fuzz-corpus),
#              FUZZ_ARTIFACTS (build/fuzz-artifacts), FUZZ_RSS_MB (2048),
#              FUZZ_RUNS (stop a target earlier, after that many runs).
set -euo pipefail
minutes=${1:?usage: fuzz-long.sh MINUTES [TARGET...]}
shift
case $minutes in '' | *[!0-9]*) echo "fuzz-long.sh: MINUTES must be a whole number" >&2; exit 2 ;; esac
root=$(cd "$(dirname "$0")/.." && pwd)
build=${FUZZ_BUILD:-$root/build/fuzz}
corpora=${FUZZ_CORPUS:-$root/build/fuzz-corpus}
artifacts=${FUZZ_ARTIFACTS:-$root/build/fuzz-artifacts}
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  mapfile -t targets < <(find "$build/fuzz" -type f -executable -name 'fuzz_*' -printf '%f\n' | sort)
fi
[ ${#targets[@]} -gt 0 ] || { echo "fuzz-long.sh: no fuzz targets in $build/fuzz (cmake --preset fuzz)" >&2; exit 2; }

status=0
summary=()
for name in "${targets[@]}"; do
  exe=$(find "$build/fuzz" -type f -executable -name "$name" | head -1)
  [ -n "$exe" ] || { echo "fuzz-long.sh: no target $name" >&2; status=1; continue; }
  corpus=$corpora/$name
  mkdir -p "$corpus" "$artifacts/$name"
  if [ -z "$(ls -A "$corpus")" ] && [ -d "$root/fuzz/corpus/$name" ]; then cp -r "$root/fuzz/corpus/$name/." "$corpus/"; fi
  dict=()
  if [ -f "$root/fuzz/dicts/$name.dict" ]; then dict=(-dict="$root/fuzz/dicts/$name.dict"); fi
  # Flags of the target's own (fuzz/options/NAME), such as a smaller -max_len for a slow one.
  if [ -f "$root/fuzz/options/$name" ]; then read -r -a extra < "$root/fuzz/options/$name"; dict+=("${extra[@]}"); fi
  log=$artifacts/$name/last-run.log
  echo "fuzzing $name for ${minutes} min (corpus $corpus)"
  result=ok
  if ! "$exe" -max_total_time=$((minutes * 60)) -runs="${FUZZ_RUNS:--1}" -print_final_stats=1 -rss_limit_mb="${FUZZ_RSS_MB:-2048}" \
      -artifact_prefix="$artifacts/$name/" "${dict[@]}" "$corpus" >"$log" 2>&1; then
    result=FAILED
    status=1
    tail -40 "$log"
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  cov=$(grep -oE 'cov: [0-9]+ ft: [0-9]+' "$log" | tail -1)
  files=$(find "$corpus" -type f | wc -l)
  line=$(printf '%-12s %-6s runs %-10s %-24s corpus %s files' "$name" "$result" "${runs:-?}" "${cov:-cov: ?}" "$files")
  summary+=("$line")
done
printf '%s\n' "${summary[@]}"
exit $status
