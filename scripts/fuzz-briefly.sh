#!/usr/bin/env bash
# Runs every fuzz target in BUILD_DIR/fuzz for a short while on a copy of its seed corpus
# (with fuzz/dicts/NAME.dict and the flags in fuzz/options/NAME when there are such files).
# scripts/fuzz-long.sh keeps a corpus instead.
# Usage: fuzz-briefly.sh BUILD_DIR [SECONDS [NAME...]]   (NAME...: only these targets)
set -euo pipefail
build=${1:?build dir}
seconds=${2:-30}
only=" ${*:3} "
root=$(cd "$(dirname "$0")/.." && pwd)
status=0
for exe in $(find "$build/fuzz" -type f -executable -name 'fuzz_*' | sort); do
  name=$(basename "$exe")
  [ "$only" = "  " ] || [[ "$only" == *" $name "* ]] || continue
  work=$(mktemp -d)
  if [ -d "$root/fuzz/corpus/$name" ]; then cp -r "$root/fuzz/corpus/$name/." "$work/"; fi
  dict=()
  if [ -f "$root/fuzz/dicts/$name.dict" ]; then dict=(-dict="$root/fuzz/dicts/$name.dict"); fi
  # Flags of the target's own (fuzz/options/NAME), such as a smaller -max_len for a slow one.
  if [ -f "$root/fuzz/options/$name" ]; then read -r -a extra < "$root/fuzz/options/$name"; dict+=("${extra[@]}"); fi
  echo "fuzzing $name for ${seconds}s"
  if ! "$exe" -max_total_time="$seconds" -print_final_stats=0 -rss_limit_mb=2048 "${dict[@]}" "$work" >"$work.log" 2>&1; then
    echo "FAILED: $name"; tail -40 "$work.log"; status=1
  else
    echo "ok: $name ($(grep -c '' "$work.log") log lines)"
  fi
  rm -rf "$work" "$work.log"
done
exit $status
