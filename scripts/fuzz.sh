#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for a bounded time each, on a corpus
# seeded with the sample records, and prints the executions of each.
#   scripts/fuzz.sh [BUILD_DIR] [SECONDS_PER_TARGET]
set -euo pipefail
build=${1:-build-fuzz}
seconds=${2:-60}
total=0
for target in "$build"/fuzz/fuzz_*; do
  if [ ! -f "$target" ] || [ ! -x "$target" ]; then continue; fi
  name=$(basename "$target")
  corpus="$build/fuzz/corpus/$name"
  mkdir -p "$corpus"
  cp -n "$build"/fuzz/seeds/* "$corpus"/ 2>/dev/null || true
  # Seeds of one target only, where it has any.
  cp -n "$build/fuzz/seeds-$name"/* "$corpus"/ 2>/dev/null || true
  log="$build/fuzz/$name.log"
  if ! "$target" -max_total_time="$seconds" -print_final_stats=1 -timeout=10 \
      -rss_limit_mb=4096 "$corpus" >"$log" 2>&1; then
    echo "$name: FAILED (see $log)"
    tail -n 40 "$log"
    exit 1
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  echo "$name: ${runs:-0} executions, no findings"
  total=$((total + ${runs:-0}))
done
echo "all targets: $total executions, no findings"
