#!/usr/bin/env bash
# Grouping inside PostgreSQL against a plain scan of the same table.
#
#   bench/pg_bench.sh [BUILD_DIR] [ROWS]      (defaults: build, 1000000)
#
# Starts a throwaway cluster with the extension from BUILD_DIR (see
# pg/test/cluster.sh; as root the server runs as CMG290_PG_USER, default
# nobody), loads ROWS synthetic 1251-character records (every table version,
# a version date between two ranges, valid and unknown impairment groups,
# item values 0 to 7, comorbid codes in a quarter of the slots), and times,
# warm and with two parallel workers per query:
#
#   scan   SELECT sum(length(record)) FROM bench_records
#   group  every output column of cmg290_group over the whole table, in the
#          LATERAL form that calls the function once per record
#   naive  the same through (cmg290_group(record)).*, which the server
#          expands into one call per output column (seven per record)
#   bytes  SELECT sum(octet_length(record)): a scan that reads only the
#          length word of each record, for scale. length() reads every byte
#          of the record (it counts characters in a UTF-8 database), as the
#          grouping reads fields from all over it.
#
# Each query runs once to warm up, then REPEAT times (default 3); the
# median is reported. The cluster is removed at the end.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
BUILD_DIR=$(cd "${1:-$root/build}" && pwd)
ROWS=${2:-1000000}
REPEAT=${REPEAT:-3}
PG_CONFIG=${PG_CONFIG:-$(command -v pg_config)}
CMAKE=${CMAKE:-cmake}
if [ ! -f "$BUILD_DIR/pg/cmg290.so" ]; then
  echo "pg_bench: no extension in $BUILD_DIR/pg (build with CMG290_BUILD_PG=ON)" >&2
  exit 2
fi

# shellcheck source=pg/test/cluster.sh
source "$root/pg/test/cluster.sh"
trap cluster_stop EXIT
trap "exit 1" INT TERM
cluster_start "shared_buffers = '2GB'" "max_worker_processes = 8" "max_parallel_workers = 8" \
  "max_parallel_workers_per_gather = 2" "jit = off"
psql=("$("$PG_CONFIG" --bindir)/psql" -X -q -v ON_ERROR_STOP=1 -d postgres)

slots() {
  local k
  for ((k = 1; k < $1; k++)); do printf 'bench_code() || '; done
  printf 'bench_code()'
}

echo "loading $ROWS records"
start=$(date +%s)
"${psql[@]}" <<SQL
CREATE EXTENSION cmg290;
SELECT setseed(0.29) \\g /dev/null
CREATE FUNCTION bench_item() RETURNS text VOLATILE LANGUAGE sql
  AS \$\$ SELECT lpad(floor(random() * 8)::int::text, 2, '0') \$\$;
CREATE FUNCTION bench_code() RETURNS text VOLATILE LANGUAGE sql AS \$\$
  SELECT CASE WHEN random() < 0.25
    THEN rpad((ARRAY['A23.257', 'C57.34', 'D61.63', 'E08.3293', 'I63.9', 'J44.1', 'N18.6',
                     'Z99.89', '262.05', '487.4', '717.6', '853.67', '428.0', '250.01'])
              [1 + floor(random() * 14)::int], 8)
    ELSE repeat(' ', 8) END \$\$;
CREATE UNLOGGED TABLE bench_records (id integer, record text);
INSERT INTO bench_records
SELECT i,
       rpad('IRF-PAI   1', 656)
       || birth || repeat(' ', 23) || age_date || repeat(' ', 24)
       || rpad('  ' || (ARRAY['01.1', '01.2', '02.21', '03.1', '04.210', '05.3', '06.1', '07.1',
                              '08.11', '08.51', '09', '10.1', '12.1', '13', '14.1', '15', '16',
                              '17.1', '18.9', '99'])[1 + i % 20], 9)
       || repeat(' ', 25)
       || $(slots 10)
       || repeat(' ', 48)
       || m[1] || '    ' || m[2] || '    ' || m[3] || '    ' || m[4] || '    ' || m[5] || '    '
       || m[6] || '    ' || m[7] || '    ' || m[8] || '    ' || m[9] || '    ' || m[10] || '    '
       || repeat(' ', 6) || m[11] || repeat(' ', 6) || m[12] || '    '
       || c[1] || repeat(' ', 6) || c[2] || repeat(' ', 6) || c[3] || '    ' || c[4] || '    '
       || c[5] || '    '
       || (ARRAY['20100815', '20110401', '20130101', '20150301', '20160401', '20190101',
                 '20230601', '20100931'])[1 + i % 8]
       || repeat(' ', 128)
       || $(slots 15)
FROM (SELECT i,
             (1920 + i % 90)::text || lpad((1 + i % 12)::text, 2, '0') || '15' AS birth,
             '20200310' AS age_date,
             ARRAY[bench_item(), bench_item(), bench_item(), bench_item(), bench_item(),
                   bench_item(), bench_item(), bench_item(), bench_item(), bench_item(),
                   bench_item(), bench_item()] AS m,
             ARRAY[bench_item(), bench_item(), bench_item(), bench_item(), bench_item()] AS c
      FROM generate_series(1, $ROWS) i) s;
VACUUM (ANALYZE) bench_records;
SQL
echo "loaded in $(($(date +%s) - start)) s: $("${psql[@]}" -At -c \
  "SELECT pg_size_pretty(pg_table_size('bench_records')) || ', lengths ' || min(length(record))
          || '-' || max(length(record)) FROM bench_records")"
"${psql[@]}" -At -c "SELECT 'statuses: ' || string_agg(status || ' x' || n, ', ' ORDER BY status)
  FROM (SELECT g.status, count(*) n FROM bench_records r, LATERAL cmg290_group(r.record) g
        GROUP BY g.status) s"

declare -A query=(
  [scan]="SELECT sum(length(record)) FROM bench_records"
  [group]="SELECT sum(g.status), count(g.cmg), sum(g.motor_score), sum(g.cognitive_score),
                  sum(g.age), count(g.table_version), count(g.grouper_version)
           FROM bench_records r, LATERAL cmg290_group(r.record) g"
  [bytes]="SELECT sum(octet_length(record)) FROM bench_records"
  [naive]="SELECT sum(s.status), count(s.cmg), sum(s.motor_score), sum(s.cognitive_score),
                  sum(s.age), count(s.table_version), count(s.grouper_version)
           FROM (SELECT (cmg290_group(record)).* FROM bench_records) s"
)

# Prints the milliseconds of one run of a query.
time_query() {
  "${psql[@]}" -At <<SQL | sed -n 's/^Time: \([0-9.]*\) ms.*/\1/p'
\\o /dev/null
\\timing on
$1;
SQL
}

median() { sort -n | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }

echo "plan of group:"
"${psql[@]}" -At -c "EXPLAIN (COSTS OFF) ${query[group]}" | sed 's/^/  /'

declare -A ms
for name in scan group naive bytes; do
  time_query "${query[$name]}" >/dev/null
  ms[$name]=$(for ((k = 0; k < REPEAT; k++)); do time_query "${query[$name]}"; done | median)
done

for name in scan group naive bytes; do printf '%-6s %10s ms\n' "$name" "${ms[$name]}"; done
awk -v s="${ms[scan]}" -v g="${ms[group]}" -v n="${ms[naive]}" -v b="${ms[bytes]}" \
  -v rows="$ROWS" 'BEGIN {
  printf "group / scan = %.2f (target at most 2), naive / scan = %.2f, group / bytes = %.2f\n",
         g / s, n / s, g / b
  printf "grouping: %.0f records/s\n", rows / (g / 1000)
}'
