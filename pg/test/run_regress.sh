#!/usr/bin/env bash
# Tests the cmg290 extension against a real server in a throwaway cluster
# (see cluster.sh):
#  1. the pg_regress tests of sql/ against expected/, in a SQL_ASCII
#     database so that records may hold any byte but zero;
#  2. the sample records, grouped in SQL, against the library's own entry
#     (pg_expected).
# The server is stopped and its folder removed whether the tests pass or not.
#
# run_regress.sh --build-dir DIR --pg-config PATH --cmake PATH
#                --expected PATH --samples FILE
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
while [ $# -gt 0 ]; do
  case $1 in
    --build-dir) BUILD_DIR=$2 ;;
    --pg-config) PG_CONFIG=$2 ;;
    --cmake) CMAKE=$2 ;;
    --expected) EXPECTED=$2 ;;
    --samples) SAMPLES=$2 ;;
    *) echo "run_regress.sh: unknown argument $1" >&2; exit 2 ;;
  esac
  shift 2
done
: "${BUILD_DIR:?--build-dir missing}" "${PG_CONFIG:?--pg-config missing}"
: "${CMAKE:?--cmake missing}" "${EXPECTED:?--expected missing}" "${SAMPLES:?--samples missing}"

# shellcheck source=pg/test/cluster.sh
source "$here/cluster.sh"
trap cluster_stop EXIT
trap "exit 1" INT TERM
# shellcheck disable=SC2119 # no extra server settings
cluster_start
export PGCLIENTENCODING=SQL_ASCII

bindir=$("$PG_CONFIG" --bindir)
psql=("$bindir/psql" -X -q -v ON_ERROR_STOP=1)
failed=0

echo "== pg_regress"
tests=()
for f in "$here"/sql/*.sql; do
  name=${f##*/}
  tests+=("${name%.sql}")
done
outdir=$CLUSTER_TMP/regress
mkdir -p "$outdir"
if ! "$(dirname "$("$PG_CONFIG" --pgxs)")/../test/regress/pg_regress" \
  --bindir="$bindir" --inputdir="$here" --outputdir="$outdir" \
  --dbname=cmg290_regress --encoding=SQL_ASCII --no-locale --load-extension=cmg290 \
  "${tests[@]}"; then
  cat "$outdir/regression.diffs" || true
  failed=1
fi

echo "== sample records: SQL against the library"
"${psql[@]}" -d postgres \
  -c "CREATE DATABASE cmg290_samples ENCODING 'SQL_ASCII' LOCALE 'C' TEMPLATE template0"
"${psql[@]}" -d cmg290_samples -c "CREATE EXTENSION cmg290" \
  -c "CREATE TABLE sample (line integer PRIMARY KEY, record text NOT NULL)"
"$EXPECTED" sql "$SAMPLES" | "${psql[@]}" -d cmg290_samples
"$EXPECTED" rows "$SAMPLES" >"$CLUSTER_TMP/samples.expected"
"${psql[@]}" -d cmg290_samples -At -P null=NULL \
  -c "SELECT s.line, g.* FROM sample s, LATERAL cmg290_group(s.record) g ORDER BY s.line" \
  >"$CLUSTER_TMP/samples.actual"
rows=$(wc -l <"$CLUSTER_TMP/samples.expected")
if [ "$rows" -eq 0 ]; then
  echo "no sample records in $SAMPLES" >&2
  failed=1
elif ! diff -u "$CLUSTER_TMP/samples.expected" "$CLUSTER_TMP/samples.actual"; then
  failed=1
else
  echo "$rows sample records: same results"
fi

echo "== sample records: explanations in SQL against the library"
"${psql[@]}" -d cmg290_samples -c "CREATE TABLE explained (line integer PRIMARY KEY, e jsonb)"
"$EXPECTED" explain "$SAMPLES" | "${psql[@]}" -d cmg290_samples
same=$("${psql[@]}" -d cmg290_samples -At -c "SELECT count(*) FROM sample s JOIN explained x
  USING (line) WHERE cmg290_explain(s.record) = x.e")
if [ "$same" -ne "$rows" ]; then
  echo "only $same of $rows sample records explained as the library explains them" >&2
  failed=1
else
  echo "$rows sample records: same explanations"
fi

exit $failed
