#!/usr/bin/env bash
# Speed of `cmg290 compare` end to end, beside `cmg290 group` over the same
# file: compare groups every record twice (with the old set and the new).
#
#   bench/compare_bench.sh [BUILD_DIR] [RECORDS]      (defaults: build, 1000000)
#
# Writes RECORDS synthetic records with `cmg290 sample` and the compiled-in
# lists as a set with `cmg290 tables export --all`, reads the records once
# so that they sit in the page cache, then takes the best of RUNS rounds
# (default 5) of
#   cmg290 compare --tier-tables SET FILE           (the compiled-in set, then SET)
#   cmg290 compare --tier-tables SET --json FILE    (the whole report as JSON)
#   cmg290 compare --tier-tables SET --tier-tables SET FILE
#   cmg290 group FILE -o /dev/null
# and prints records per second and the CPU seconds of each.
# THREADS=N passes --threads N; by default the tool uses every core.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
records=${2:-1000000}
runs=${RUNS:-5}
tool=$build/tools/cmg290
threads=()
if [ -n "${THREADS:-}" ]; then threads=(--threads "$THREADS"); fi

[ -x "$tool" ] || { echo "compare_bench.sh: no tool at $tool; build first" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/cmg290_compare_bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
input=$work/records.txt
"$tool" sample --count "$records" --seed 1 -o "$input"
"$tool" tables export --all "$work/set" 2>/dev/null
cat "$input" > /dev/null

# Best wall-clock seconds of `runs` runs of a command, and its CPU seconds
# (user + system, from the times of this shell's waited-for children).
best() {
  local best_wall="" best_cpu="" me=$BASHPID  # not inside $(...), which has a pid of its own
  for _ in $(seq "$runs"); do
    local t0 t1 start end
    t0=$(awk '{print $16 + $17}' "/proc/$me/stat")
    start=$(date +%s.%N)
    "$@" > /dev/null 2>&1
    end=$(date +%s.%N)
    t1=$(awk '{print $16 + $17}' "/proc/$me/stat")
    read -r best_wall best_cpu < <(awk -v s="$start" -v e="$end" -v a="$t0" -v b="$t1" \
      -v hz="$(getconf CLK_TCK)" -v bw="$best_wall" -v bc="$best_cpu" \
      'BEGIN { w = e - s; if (bw == "" || w < bw) print w, (b - a) / hz; else print bw, bc }')
  done
  printf '%s %s\n' "$best_wall" "$best_cpu"
}

report() {
  awk -v l="$1" -v w="$2" -v c="$3" -v n="$records" \
    'BEGIN { printf "%-48s %12.0f records/s  (%.2f s, %.2f CPU s)\n", l, n / w, w, c }'
}

echo "$records records, best of $runs, $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"
read -r w c < <(best "$tool" compare -q "${threads[@]}" --tier-tables "$work/set" "$input")
report "compare --tier-tables SET (against compiled-in)" "$w" "$c"
read -r w c < <(best "$tool" compare -q "${threads[@]}" --tier-tables "$work/set" --json "$input")
report "compare --tier-tables SET --json" "$w" "$c"
read -r w c < <(best "$tool" compare -q "${threads[@]}" --tier-tables "$work/set" \
  --tier-tables "$work/set" "$input")
report "compare --tier-tables SET --tier-tables SET" "$w" "$c"
read -r w c < <(best "$tool" group -q "${threads[@]}" "$input" -o /dev/null)
report "group -o /dev/null" "$w" "$c"
