#!/usr/bin/env bash
# Grouping inside PostgreSQL against a plain count(*) over the same table, in
# an SQL_ASCII and a UTF-8 database.
#
#   bench/pg_bench.sh [BUILD_DIR] [ROWS]      (defaults: build, 1000000)
#
# Writes ROWS records with `cmg290 sample` (every table version, realistic
# comorbid codes, one record in 25 flawed), starts a throwaway cluster with
# the extension from BUILD_DIR (see pg/test/cluster.sh; as root the server
# runs as CMG290_PG_USER, default nobody), loads the records into an
# unlogged table of each database, and times, warm and with two parallel
# workers per query:
#
#   count      SELECT count(*): the floor, a scan that reads no record
#   lateral    every output column of cmg290_group, one call per record in
#              the FROM clause (LATERAL)
#   scalar     cmg290_cmg(record) alone: the tier letter and CMG, without a
#              composite row
#   scalars    every output through the one-value functions, one after the
#              other over each record (grouped once, the other calls find
#              the backend's last result)
#   naive      every column through (cmg290_group(record)).*, which the
#              server expands into one call per output column (seven per
#              record)
#
# Each query runs once to warm up; then REPEAT rounds (default 5) each run
# every query once, and the best run of each is reported. The cluster and
# the records file are removed at the end.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
BUILD_DIR=$(cd "${1:-$root/build}" && pwd)
ROWS=${2:-1000000}
REPEAT=${REPEAT:-5}
PG_CONFIG=${PG_CONFIG:-$(command -v pg_config)}
CMAKE=${CMAKE:-cmake}
if [ ! -f "$BUILD_DIR/pg/cmg290.so" ] || [ ! -x "$BUILD_DIR/tools/cmg290" ]; then
  echo "pg_bench: build the extension and the tool in $BUILD_DIR first" >&2
  exit 2
fi

# shellcheck source=pg/test/cluster.sh
source "$root/pg/test/cluster.sh"
records=""
finish() {
  cluster_stop
  [ -z "$records" ] || rm -f "$records"
}
trap finish EXIT
trap "exit 1" INT TERM
cluster_start "shared_buffers = '3GB'" "max_worker_processes = 8" "max_parallel_workers = 8" \
  "max_parallel_workers_per_gather = 2" "jit = off"
records="$CLUSTER_TMP/records.txt"
"$BUILD_DIR/tools/cmg290" sample --count "$ROWS" -o "$records"
chmod a+r "$CLUSTER_TMP" "$records"
bindir=$("$PG_CONFIG" --bindir)

declare -A query=(
  [count]="SELECT count(*) FROM bench_records"
  [lateral]="SELECT count(g.status), count(g.cmg), count(g.motor_score), count(g.cognitive_score),
                    count(g.age), count(g.table_version), count(g.grouper_version)
             FROM bench_records r, LATERAL cmg290_group(r.record) g"
  [scalar]="SELECT count(cmg290_cmg(record)) FROM bench_records"
  [scalars]="SELECT count(cmg290_status(record)), count(cmg290_cmg(record)),
                    count(cmg290_motor_score(record)), count(cmg290_cognitive_score(record)),
                    count(cmg290_age(record)), count(cmg290_table_version(record)), count(1)
             FROM bench_records"
  [naive]="SELECT count(s.status), count(s.cmg), count(s.motor_score), count(s.cognitive_score),
                  count(s.age), count(s.table_version), count(s.grouper_version)
           FROM (SELECT (cmg290_group(record)).* FROM bench_records) s"
)
read -r -a forms <<<"${FORMS:-count lateral scalar scalars naive}"

# Prints the milliseconds of one run of a query.
time_query() {
  "${psql[@]}" -At <<SQL | sed -n 's/^Time: \([0-9.]*\) ms.*/\1/p'
\\o /dev/null
\\timing on
$1;
SQL
}

best() { sort -n | head -n 1; }

for encoding in ${ENCODINGS:-SQL_ASCII UTF8}; do
  db="bench_$(echo "$encoding" | tr 'A-Z' 'a-z' | tr -d _)"
  "$bindir/createdb" -E "$encoding" -l C -T template0 "$db"
  psql=("$bindir/psql" -X -q -v ON_ERROR_STOP=1 -d "$db")
  start=$(date +%s)
  "${psql[@]}" <<SQL
CREATE EXTENSION cmg290;
CREATE UNLOGGED TABLE bench_records (record text);
\\copy bench_records FROM '$records' WITH (FORMAT csv, DELIMITER E'\\x01', QUOTE E'\\x02')
VACUUM (ANALYZE) bench_records;
SQL
  echo "$encoding: $ROWS records loaded in $(($(date +%s) - start)) s ($("${psql[@]}" -At -c \
    "SELECT pg_size_pretty(pg_table_size('bench_records'))"))"
  # Rounds: each times every form once, so that a busy spell of the machine
  # falls on all of them alike rather than on one.
  declare -A ms=() runs=()
  for name in "${forms[@]}"; do time_query "${query[$name]}" >/dev/null; done
  for ((k = 0; k < REPEAT; k++)); do
    for name in "${forms[@]}"; do runs[$name]+="$(time_query "${query[$name]}")"$'\n'; done
  done
  for name in "${forms[@]}"; do ms[$name]=$(printf '%s' "${runs[$name]}" | best); done
  for name in "${forms[@]}"; do
    awk -v n="$name" -v t="${ms[$name]}" -v c="${ms[count]}" -v rows="$ROWS" \
      'BEGIN { printf "  %-8s %9.1f ms  %5.2f x count(*)  %12.0f records/s\n", n, t, t / c,
               rows / (t / 1000) }'
  done
  unset ms runs
done
echo "plan of lateral:"
"${psql[@]}" -At -c "EXPLAIN (COSTS OFF) ${query[lateral]}" | sed 's/^/  /'
