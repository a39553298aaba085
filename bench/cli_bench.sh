#!/usr/bin/env bash
# Speed of `cmg290 group` end to end, measured against `cat` reading the
# same file.
#
#   bench/cli_bench.sh [BUILD_DIR] [RECORDS]      (defaults: build, 1000000)
#
# Writes RECORDS synthetic records of 1251 characters with `cmg290 sample`,
# reads the file once so that it sits in the page cache, then takes the best
# of RUNS rounds (default 5), each timing once:
#   cat FILE > /dev/null
#   cmg290 group FILE -o FILE.csv          (CSV into a file, the main case)
#   cmg290 group FILE -o /dev/null         (CSV, no disk writes)
#   cmg290 group -f jsonl FILE -o /dev/null
# and prints records per second, the ratio to cat and to the grouping floor,
# and the peak resident memory of the CSV run (when GNU time is installed as
# /usr/bin/time). The floor is what the grouping alone would take on every
# core: the records divided by (the grouping call's rate on one core over the
# same records held in memory, from grouper_bench's BM_group_streamed, times
# the number of cores), measured once a round as well.
# THREADS=N passes --threads N; by default the tool uses every core.
# TIER_TABLES=DIR passes --tier-tables DIR (a tier-table set, as
# `cmg290 tables export --all DIR` writes it) to every group run.
# EDITS=1 passes --edits: every row carries the record's edits (the CSV
# column, the JSON Lines member) and the summary counts them; the floor is
# still the grouping call's alone.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
records=${2:-1000000}
runs=${RUNS:-5}
tool=$build/tools/cmg290
run_options=()
if [ -n "${THREADS:-}" ]; then run_options=(--threads "$THREADS"); fi
if [ -n "${TIER_TABLES:-}" ]; then run_options+=(--tier-tables "$TIER_TABLES"); fi
if [ -n "${EDITS:-}" ]; then run_options+=(--edits); fi

[ -x "$tool" ] || { echo "cli_bench.sh: no tool at $tool; build first" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/cmg290_bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
input=$work/records.txt

"$tool" sample --count "$records" --seed 1 -o "$input"
cat "$input" > /dev/null

# The runs go in rounds: each round times every command once and measures
# the floor once, so that a quiet or a busy spell of the machine falls on all
# of them alike rather than on one; the best of each is reported.

# Prints the wall time of one run of a command in nanoseconds. The CSV file
# of the last run is removed first, untimed: the file system's freeing of
# the old file, when a run replaces it, is not the command's work.
time_ns() {
  local start end rc=0
  rm -f "$work/out.csv"
  start=$(date +%s%N)
  "$@" || rc=$?
  end=$(date +%s%N)
  if [ "$rc" -ne 0 ]; then
    echo "cli_bench.sh: '$*' failed with exit code $rc" >&2
    exit 2
  fi
  echo $((end - start))
}

cat_to_null() { cat "$input" > /dev/null; }

# The grouping call's own time per record on one core, over the same records
# (nanoseconds, fractional).
floor_per_record() {
  CMG290_BENCH_RECORDS=$input "$build/bench/grouper_bench" \
    --benchmark_filter=BM_group_streamed --benchmark_format=csv 2>/dev/null |
    awk -F, '/BM_group_streamed/ { print $4 }'
}

min() { awk -v a="$1" -v b="$2" 'BEGIN { print (a == 0 || b < a) ? b : a }'; }

cat_ns=0 csv_ns=0 null_ns=0 jsonl_ns=0 per_record=0
for _ in $(seq "$runs"); do
  cat_ns=$(min "$cat_ns" "$(time_ns cat_to_null)")
  csv_ns=$(min "$csv_ns" "$(time_ns "$tool" group -q "${run_options[@]}" "$input" -o "$work/out.csv")")
  null_ns=$(min "$null_ns" "$(time_ns "$tool" group -q "${run_options[@]}" "$input" -o /dev/null)")
  jsonl_ns=$(min "$jsonl_ns" \
    "$(time_ns "$tool" group -q "${run_options[@]}" -f jsonl "$input" -o /dev/null)")
  if [ -x "$build/bench/grouper_bench" ]; then
    per_record=$(min "$per_record" "$(floor_per_record)")
  fi
done
cores=$(nproc)
floor_ns=$(awk -v t="$per_record" -v n="$records" -v c="$cores" 'BEGIN { printf "%d", t * n / c }')

report() {  # label, nanoseconds
  awk -v label="$1" -v ns="$2" -v cat="$cat_ns" -v n="$records" -v floor="$floor_ns" 'BEGIN {
    printf "%-30s %7.3f s  %10.0f records/s  %5.2f x cat", label, ns / 1e9, n / (ns / 1e9), ns / cat
    if (floor > 0) printf "  %5.2f x floor", ns / floor
    printf "\n"
  }'
}

bytes=$(stat -c %s "$input")
echo "input: $records records, $((bytes / 1000000)) MB; $(nproc) cores; best of $runs rounds"
if [ -n "${TIER_TABLES:-}" ]; then echo "tier tables: --tier-tables $TIER_TABLES"; fi
if [ -n "${EDITS:-}" ]; then echo "edits: --edits"; fi
awk -v ns="$cat_ns" 'BEGIN { printf "%-30s %7.3f s\n", "cat > /dev/null", ns / 1e9 }'
if [ "$floor_ns" -gt 0 ]; then
  awk -v ns="$floor_ns" -v t="$per_record" -v c="$cores" 'BEGIN {
    printf "%-30s %7.3f s  (%.0f ns a record on one core, %d cores)\n", "grouping floor", ns / 1e9, t, c }'
fi
report "group to CSV file" "$csv_ns"
report "group to CSV, /dev/null" "$null_ns"
report "group to JSON Lines, /dev/null" "$jsonl_ns"

if [ -x /usr/bin/time ]; then
  rss=$({ /usr/bin/time -f %M "$tool" group -q "${run_options[@]}" "$input" -o "$work/out.csv" \
          2>&1 >/dev/null || true; } | tail -n 1)
  echo "peak resident memory (CSV run): $rss KiB"
  # Processor time summed over all threads, which other work on a shared
  # machine does not stretch as it does the wall time: the least of RUNS
  # runs of each format to /dev/null.
  for format in csv jsonl; do
    best=0
    for _ in $(seq "$runs"); do
      cpu=$({ /usr/bin/time -f "%U %S" "$tool" group -q "${run_options[@]}" -f "$format" \
                "$input" -o /dev/null 2>&1 >/dev/null || true; } | tail -n 1)
      best=$(min "$best" "$(awk -v t="$cpu" 'BEGIN { split(t, a, " "); print a[1] + a[2] }')")
    done
    awk -v f="$format" -v s="$best" -v n="$records" 'BEGIN {
      printf "processor time, %-5s /dev/null %6.2f s  %10.0f records per processor-second\n", f, s, n / s }'
  done
fi
