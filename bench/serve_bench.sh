#!/usr/bin/env bash
# Speed and memory of cmg290 serve on loopback:
#   1. single-record POST /v1/group with keep-alive, driven by wrk
#      (CONNECTIONS connections, 1 wrk thread, DURATION seconds);
#   2. POST /v1/group/batch with a body of RECORDS synthetic records, sent
#      and read back as a stream by curl, and the same records grouped by
#      `cmg290 group -f jsonl` to a file;
# and the server's resident memory, sampled all along, and at its peak.
#   bench/serve_bench.sh [BUILD_DIR] [RECORDS]
# Environment: CONNECTIONS (16), DURATION (10), THREADS (server, 16);
# TIER_TABLES: a tier-table set's directory for the server's --tier-tables,
# or "exported" for the compiled-in lists written out as a set (which group
# as the compiled-in ones, through the loaded-set path);
# EDITS: "1" asks for the records' edits (?edits=true) in the single calls and
# the batch; "both" sends the batch twice, without and then with them.
set -euo pipefail
build=${1:-build}
records=${2:-1000000}
connections=${CONNECTIONS:-16}
duration=${DURATION:-10}
threads=${THREADS:-16}
tier_tables=${TIER_TABLES:-}
edits=${EDITS:-}
case "$edits" in
  "" | 0) batch_queries=("") ;;
  1) batch_queries=("?edits=true") ;;
  both) batch_queries=("" "?edits=true") ;;
  *) echo "serve_bench: EDITS is 1 or both" >&2; exit 2 ;;
esac
single_query=$([ "$edits" = 1 ] && echo "?edits=true" || true)
here=$(cd "$(dirname "$0")" && pwd)
cmg290="$build/tools/cmg290"
for tool in wrk curl; do
  command -v "$tool" >/dev/null || { echo "serve_bench: $tool is not installed" >&2; exit 2; }
done

work=$(mktemp -d)
server=""
sampler=""
cleanup() {
  [ -n "$sampler" ] && kill "$sampler" 2>/dev/null || true
  [ -n "$server" ] && kill "$server" 2>/dev/null && wait "$server" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

load=$(cut -d' ' -f1-3 /proc/loadavg)
"$cmg290" sample --count "$records" -o "$work/records.txt"
head -n 1 "$work/records.txt" > "$work/one.txt"

tier_option=()
if [ "$tier_tables" = exported ]; then
  mkdir "$work/tiers"
  for list in single-2.40:2.40:single single-2.50:2.50:single single-2.60:2.60:single \
      single-2.82:2.82:single single-2.90:2.90:single pair:2.90:pair secondary:2.90:secondary; do
    IFS=: read -r file version kind <<< "$list"
    "$cmg290" tables export --version "$version" --list "$kind" -o "$work/tiers/$file.csv"
  done
  tier_option=(--tier-tables "$work/tiers")
elif [ -n "$tier_tables" ]; then
  tier_option=(--tier-tables "$tier_tables")
fi

"$cmg290" serve -q --listen 127.0.0.1:0 --threads "$threads" "${tier_option[@]}" \
  2> "$work/server.log" &
server=$!
for _ in $(seq 100); do
  port=$(sed -n 's/.*listening on http:\/\/127\.0\.0\.1:\([0-9]*\) .*/\1/p' "$work/server.log")
  [ -n "$port" ] && break
  sleep 0.05
done
[ -n "${port:-}" ] || { cat "$work/server.log" >&2; exit 2; }
url="http://127.0.0.1:$port"

# Resident memory of the server every 50 ms, the highest kept.
( peak=0
  while kill -0 "$server" 2>/dev/null; do
    rss=$(awk '/^VmRSS/ {print $2}' "/proc/$server/status" 2>/dev/null || echo 0)
    [ "${rss:-0}" -gt "$peak" ] && peak=$rss && echo "$peak" > "$work/rss_peak"
    sleep 0.05
  done ) &
sampler=$!

echo "== single record: POST /v1/group$single_query, keep-alive, $connections connections, ${duration}s"
RECORD_FILE="$work/one.txt" wrk -t1 -c"$connections" -d"${duration}s" --latency \
  -s "$here/serve_group.lua" "$url/v1/group$single_query" | tee "$work/wrk.txt"
rps=$(awk '/^Requests\/sec/ {print $2}' "$work/wrk.txt")
p99=$(awk '$1 == "99%" {print $2}' "$work/wrk.txt")

bytes=$(stat -c %s "$work/records.txt")
cpu_ticks() { awk '{print $14 + $15}' "/proc/$server/stat"; }
batch_lines=()
for query in "${batch_queries[@]}"; do
  echo "== batch: POST /v1/group/batch$query, $records records ($((bytes / 1000000)) MB), streamed"
  ticks_before=$(cpu_ticks)
  start=$(date +%s.%N)
  curl -sS --fail -X POST -T "$work/records.txt" -H 'Content-Type: text/plain' \
    -H 'Expect:' "$url/v1/group/batch$query" -o "$work/results.jsonl"
  end=$(date +%s.%N)
  ticks_after=$(cpu_ticks)
  server_cpu=$(awk -v a="$ticks_before" -v b="$ticks_after" -v hz="$(getconf CLK_TCK)" \
    'BEGIN {printf "%.2f", (b - a) / hz}')
  lines=$(wc -l < "$work/results.jsonl")
  [ "$lines" -eq "$records" ] || { echo "serve_bench: $lines results for $records records" >&2; exit 1; }
  seconds=$(awk -v a="$start" -v b="$end" "BEGIN {print b - a}")
  rate=$(awk -v n="$records" -v s="$seconds" "BEGIN {printf \"%d\", n / s}")
  with=$([ -n "$query" ] && echo ", edits" || true)
  batch_lines+=("$(printf 'batch of %d records%s   %.2f s, %d records/s (server processor time %s s)' \
    "$records" "$with" "$seconds" "$rate" "$server_cpu")")
  rm -f "$work/results.jsonl"
done

# The same records grouped by the command itself, with as many threads as
# it takes by default, for a measure of what serving them costs.
local_edits=$([ "$edits" = 1 ] && echo "--edits" || true)
echo "== cmg290 group -f jsonl $local_edits on the same records"
start=$(date +%s.%N)
"$cmg290" group -q -f jsonl $local_edits "${tier_option[@]}" -o "$work/results.jsonl" \
  "$work/records.txt"
end=$(date +%s.%N)
seconds=$(awk -v a="$start" -v b="$end" "BEGIN {print b - a}")
batch_lines+=("$(printf 'cmg290 group -f jsonl %s    %.2f s, %d records/s' "$local_edits" \
  "$seconds" "$(awk -v n="$records" -v s="$seconds" "BEGIN {printf \"%d\", n / s}")")")
rm -f "$work/results.jsonl"

hwm=$(awk '/^VmHWM/ {print $2}' "/proc/$server/status")
sleep 0.1
echo
echo "summary ($(nproc) cores, server threads $threads)"
sed -n 's/^cmg290 serve: \(tier tables .*\)/\1/p' "$work/server.log"
printf 'single POST /v1/group%s      %s requests/s, p99 %s\n' "$single_query" "$rps" "$p99"
printf '%s\n' "${batch_lines[@]}"
echo "load average before the runs: $load"
printf 'server resident memory: peak %d KiB (highest sample %s KiB)\n' "$hwm" \
  "$(cat "$work/rss_peak" 2>/dev/null || echo ?)"
