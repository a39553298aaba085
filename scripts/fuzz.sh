#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for a bounded time each, on a corpus
# seeded with the sample records, and prints the executions of each. Targets
# run JOBS at a time (default: one per core).
#   scripts/fuzz.sh [BUILD_DIR] [SECONDS_PER_TARGET]
set -euo pipefail
build=${1:-build-fuzz}
seconds=${2:-60}
jobs=${JOBS:-$(nproc)}

# Runs one target; its exit code says whether it found anything.
run_target() {
  local target=$1 name corpus
  name=$(basename "$target")
  corpus="$build/fuzz/corpus/$name"
  mkdir -p "$corpus"
  cp -n "$build"/fuzz/seeds/* "$corpus"/ 2>/dev/null || true
  # Seeds of one target only, where it has any.
  cp -n "$build/fuzz/seeds-$name"/* "$corpus"/ 2>/dev/null || true
  "$target" -max_total_time="$seconds" -print_final_stats=1 -timeout=10 \
    -rss_limit_mb=4096 "$corpus" >"$build/fuzz/$name.log" 2>&1
}

targets=()
for target in "$build"/fuzz/fuzz_*; do
  if [ -f "$target" ] && [ -x "$target" ]; then targets+=("$target"); fi
done

total=0
failed=""
for ((i = 0; i < ${#targets[@]}; i += jobs)); do
  pids=()
  for target in "${targets[@]:i:jobs}"; do
    run_target "$target" &
    pids+=("$!")
  done
  k=0
  for target in "${targets[@]:i:jobs}"; do
    name=$(basename "$target")
    if ! wait "${pids[k]}"; then
      echo "$name: FAILED (see $build/fuzz/$name.log)"
      tail -n 40 "$build/fuzz/$name.log"
      failed=1
    else
      runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$build/fuzz/$name.log" | tail -n 1)
      echo "$name: ${runs:-0} executions, no findings"
      total=$((total + ${runs:-0}))
    fi
    k=$((k + 1))
  done
  [ -z "$failed" ] || exit 1
done
echo "all targets: $total executions, no findings"
