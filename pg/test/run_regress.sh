#!/usr/bin/env bash
# Tests the cmg290 extension against a real server in a throwaway cluster
# (see cluster.sh):
#  1. the pg_regress tests of sql/ against expected/, in a SQL_ASCII
#     database so that records may hold any byte but zero;
#  2. the sample records, grouped in SQL, against the library's own entry
#     (pg_expected), with the compiled-in lists and with them exported as a
#     tier-table set, and their explanations and edits;
#  3. updates of the extension from each earlier version;
#  4. the commands for the settings as docs/postgresql.md shows them, in
#     new connections;
#  5. a tier-table set named in the server's configuration.
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

# Tier-table sets for tier_sets.sql (which finds them through
# CMG290_TEST_SETS), in the cluster's folder so that the server's user reads
# them: the compiled-in lists exported, a placeholder code of 2.82 and 2.90
# replaced (within the documented contents), an excluded RIC dropped in 2.90
# only (a deviation), two faults, thirty faults (one with a byte outside
# ASCII, one quoting a code of 400 characters), a directory that cannot be
# read, and a faulty set under a long path with a byte outside ASCII.
sets=$CLUSTER_TMP/sets
edit() { # FILE SED-EXPRESSION: the expression must change the file
  local before
  before=$(cksum <"$1")
  sed -i "$2" "$1"
  [ "$(cksum <"$1")" != "$before" ] || { echo "run_regress.sh: $2 changed nothing in $1" >&2; exit 1; }
}
mkdir -p "$sets"
"$EXPECTED" set "$sets/compiled"
for name in changed deviating faulty many; do
  cp -r "$sets/compiled" "$sets/$name"
  edit "$sets/$name/manifest.txt" "s/^name = .*/name = $name/"
done
# The single-code lists carry the placeholder column: "code,tier,excluded_rics,placeholder".
edit "$sets/changed/single-2.82.csv" 's/^A23\.257^,D,,placeholder$/A23.256^,D,,/'
edit "$sets/changed/single-2.90.csv" 's/^A23\.257^,D,,placeholder$/A23.256^,D,,/'
edit "$sets/deviating/single-2.90.csv" 's/^A33\.23^^,D,01,\(placeholder\)\{0,1\}$/A33.23^^,D,,/'
edit "$sets/faulty/single-2.40.csv" '5s/,B,/,E,/'
rm "$sets/faulty/secondary.csv"
edit "$sets/many/single-2.50.csv" '2,31s/^/?/'
edit "$sets/many/single-2.50.csv" $'2s/?/\xe9/'
edit "$sets/many/single-2.50.csv" "3s/?/?$(printf 'W%.0s' $(seq 400))/"
mkdir -m 000 "$sets/unreadable"
# The faulty set again, under a directory named with byte 0xe9 and a path
# long enough for its problems to be cut.
long=$(printf 'L%.0s' $(seq 200))
mkdir -p "$sets/"$'\xe9'"/$long"
cp -r "$sets/faulty" "$sets/"$'\xe9'"/$long/$long"
export CMG290_TEST_SETS=$sets

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

echo "== sample records: the compiled-in lists exported as a set, from the connection's options"
PGOPTIONS="-c cmg290.tier_tables=$sets/compiled" "${psql[@]}" -d cmg290_samples -At -P null=NULL \
  -c "SELECT s.line, g.* FROM sample s, LATERAL cmg290_group(s.record) g ORDER BY s.line" \
  -c "SELECT cmg290_tier_set()->>'compiled_in'" >"$CLUSTER_TMP/samples.exported"
if ! diff -u <(cat "$CLUSTER_TMP/samples.expected" && echo false) "$CLUSTER_TMP/samples.exported"; then
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

echo "== sample records: edits in SQL against the library"
"${psql[@]}" -d cmg290_samples -c "CREATE TABLE edited (line integer PRIMARY KEY, e jsonb)"
"$EXPECTED" edits "$SAMPLES" | "${psql[@]}" -d cmg290_samples
same=$("${psql[@]}" -d cmg290_samples -At -c "SELECT count(*) FROM sample s JOIN edited x
  USING (line) WHERE cmg290_edits(s.record) = x.e")
if [ "$same" -ne "$rows" ]; then
  echo "only $same of $rows sample records with the edits the library finds" >&2
  failed=1
else
  echo "$rows sample records: same edits"
fi

echo "== edits in a UTF-8 database: record bytes above 127 as the characters U+0080 to U+00FF"
"${psql[@]}" -d postgres -c "CREATE DATABASE cmg290_utf8 ENCODING 'UTF8' LOCALE 'C' TEMPLATE template0" >/dev/null
# "é" is two bytes in UTF-8, each read as one Latin-1 character (and the
# bytes after it one position later: the version date is an edit too).
got=$(PGCLIENTENCODING=UTF8 "${psql[@]}" -d cmg290_utf8 -At -c "CREATE EXTENSION cmg290" \
  -c "SELECT cmg290_edits(overlay(overlay(overlay(overlay(overlay(rpad('IRF-PAI', 1251)
        PLACING '19500310' FROM 657) PLACING '20200310' FROM 688) PLACING '  01.1' FROM 720)
        PLACING '20200315' FROM 996) PLACING 'I10.é' FROM 754))->0->>'value'")
"${psql[@]}" -d postgres -c "DROP DATABASE cmg290_utf8" >/dev/null
if [ "$got" != "I10.Ã©" ]; then
  echo "the value of an edit in a UTF-8 database: $got" >&2
  failed=1
else
  echo "as characters"
fi

echo "== extension updates: 1.0, 1.1 and 1.2 to the current version"
for version in 1.0 1.1 1.2; do
  "${psql[@]}" -d postgres -c "CREATE DATABASE cmg290_update TEMPLATE template0" >/dev/null
  got=$("${psql[@]}" -d cmg290_update -At -c "CREATE EXTENSION cmg290 VERSION '$version'" \
    -c "ALTER EXTENSION cmg290 UPDATE" \
    -c "SELECT extversion FROM pg_extension WHERE extname = 'cmg290'" \
    -c "SELECT cmg290_tier_set()->>'name'" \
    -c "SELECT cmg290_edits('IRF-PAI')->0->>'code'")
  "${psql[@]}" -d postgres -c "DROP DATABASE cmg290_update" >/dev/null
  want=$(sed -n "s/^default_version = '\(.*\)'$/\1/p" "$here/../cmg290.control")
  if [ "$got" != "$want"$'\n'compiled-in$'\n'short-record ]; then
    echo "from $version: $got" >&2
    failed=1
  fi
done
echo "updated to the current version"

echo "== the commands of docs/postgresql.md, as written, each group in a new connection"
# Each command must stand in docs/postgresql.md as given here (line breaks
# and runs of blanks aside); its path and digest are then replaced by a test
# set's.
guide=$(tr -s ' \n' '  ' <"$here/../../docs/postgresql.md")
guide_sql() { # OFFICIAL-SET DIGEST COMMAND...
  local official=$1 digest=$2 command
  shift 2
  for command in "$@"; do
    if [[ $guide != *"$command"* ]]; then
      echo "docs/postgresql.md no longer shows: $command" >&2
      return 1
    fi
    command=${command//\/srv\/cmg290\/official-2025/$official}
    command=${command//\/srv\/cmg290\/tiers-2025/$official}
    printf '%s\n' "${command//9f2c.../$digest}"
  done
}
in_billing() { "${psql[@]}" -d billing "$@"; }
guide_ok=1
"${psql[@]}" -d postgres -c "CREATE DATABASE billing" >/dev/null
in_billing -c "CREATE EXTENSION cmg290" >/dev/null
deviating=$(in_billing -At -c "LOAD 'cmg290'" -c "SET cmg290.tier_tables_allow_deviations = on" \
  -c "SET cmg290.tier_tables = '$sets/deviating'" -c "SELECT cmg290_tier_set()->>'sha256'")
# Without the module loaded first, PostgreSQL 15 does not know the setting
# (while the server's configuration has never named it: this runs first).
if out=$("${psql[@]}" -d postgres -c "ALTER SYSTEM SET cmg290.tier_tables = '$sets/changed'" 2>&1) ||
  ! grep -q 'unrecognized configuration parameter' <<<"$out"; then
  echo "ALTER SYSTEM before LOAD: $out" >&2
  guide_ok=0
fi
# Switching sets for the whole server.
guide_sql "$sets/changed" "" "LOAD 'cmg290';" \
  "ALTER SYSTEM SET cmg290.tier_tables = '/srv/cmg290/tiers-2025';" \
  "SELECT pg_reload_conf();" | "${psql[@]}" -d postgres >/dev/null || guide_ok=0
for tries in $(seq 50); do
  name=$(in_billing -At -c "SELECT cmg290_tier_set()->>'name'")
  [ "$name" = changed ] && break
  sleep 0.1
done
[ "$name" = changed ] || { echo "after ALTER SYSTEM: \"$name\" in use" >&2; guide_ok=0; }
"${psql[@]}" -d postgres -c "LOAD 'cmg290'" -c "ALTER SYSTEM RESET cmg290.tier_tables" \
  -c "SELECT pg_reload_conf()" >/dev/null
# A session's set and a database's.
got=$(guide_sql "$sets/changed" "" "LOAD 'cmg290';" \
  "SET cmg290.tier_tables = '/srv/cmg290/official-2025';" \
  "ALTER DATABASE billing SET cmg290.tier_tables = '/srv/cmg290/official-2025';" \
  "SELECT cmg290_tier_set();" "RESET cmg290.tier_tables;" | in_billing -At) || guide_ok=0
[[ $got == *'"name": "changed"'* ]] || { echo "SET: $got" >&2; guide_ok=0; }
got=$(in_billing -At -c "SELECT cmg290_tier_set()->>'name'")
[ "$got" = changed ] || { echo "ALTER DATABASE: \"$got\" in use" >&2; guide_ok=0; }
# A deviating set is refused, by the session's settings, without a pin.
if out=$(guide_sql "$sets/deviating" "" "LOAD 'cmg290';" \
  "ALTER DATABASE billing SET cmg290.tier_tables = '/srv/cmg290/official-2025';" |
  in_billing 2>&1) || ! grep -q 'deviates from the documented contents' <<<"$out"; then
  echo "ALTER DATABASE of a deviating set: $out" >&2
  guide_ok=0
fi
# Pinned, it is taken with its deviations.
guide_sql "$sets/deviating" "${deviating^^}" "LOAD 'cmg290';" \
  "SET cmg290.tier_tables_sha256 = '9f2c...';" \
  "ALTER DATABASE billing SET cmg290.tier_tables_sha256 = '9f2c...';" \
  "ALTER DATABASE billing SET cmg290.tier_tables = '/srv/cmg290/official-2025';" |
  in_billing >/dev/null || guide_ok=0
got=$(in_billing -At -c "SELECT cmg290_tier_set()->>'name', current_setting('cmg290.tier_tables_sha256')")
[ "$got" = "deviating|$deviating" ] || { echo "pinned: $got" >&2; guide_ok=0; }
# Pinned to another digest, the database's sessions fail every call.
in_billing -c "ALTER DATABASE billing SET cmg290.tier_tables_sha256 = '$(printf '0%.0s' $(seq 64))'" >/dev/null
if out=$(in_billing -At -c "SELECT cmg290_cmg('IRF-PAI')" 2>&1) ||
  ! grep -q "its sha256 is $deviating, expected 0000" <<<"${out,,}"; then
  echo "a database pinned to another set: $out" >&2
  guide_ok=0
fi
"${psql[@]}" -d postgres -c "DROP DATABASE billing" >/dev/null
if [ "$guide_ok" -eq 1 ]; then
  echo "as docs/postgresql.md shows them"
else
  failed=1
fi

echo "== a tier-table set named in the server's configuration"
# A reload reaches new sessions once the server has read the file again.
set_by_configuration() { # VALUE
  "${psql[@]}" -d cmg290_samples -c "LOAD 'cmg290'" \
    -c "ALTER SYSTEM SET cmg290.tier_tables = '$1'" \
    -c "SELECT pg_reload_conf()" >/dev/null
  local tries
  for tries in $(seq 50); do
    [ "$("${psql[@]}" -d cmg290_samples -At -c "SELECT current_setting('cmg290.tier_tables', true)")" = "$1" ] &&
      return 0
    sleep 0.1
  done
  echo "the server did not take cmg290.tier_tables = '$1'" >&2
  return 1
}
set_by_configuration "$sets/changed"
name=$("${psql[@]}" -d cmg290_samples -At -c "SELECT cmg290_tier_set()->>'name'")
if [ "$name" != changed ]; then
  echo "set from postgresql.auto.conf: \"$name\" in use, expected \"changed\"" >&2
  failed=1
fi
# A set that does not load fails every call rather than letting the
# compiled-in lists group.
set_by_configuration "$sets/faulty"
if out=$("${psql[@]}" -d cmg290_samples -At -c "SELECT cmg290_cmg(record) FROM sample" 2>&1) ||
  ! grep -q "does not load" <<<"$out" || ! grep -qF "$sets/faulty/single-2.40.csv:5: unknown tier" <<<"$out"; then
  echo "a faulty set from postgresql.auto.conf did not fail the call: $out" >&2
  failed=1
fi
set_by_configuration ""
"${psql[@]}" -d cmg290_samples -c "LOAD 'cmg290'" -c "ALTER SYSTEM RESET cmg290.tier_tables" >/dev/null
echo "taken from the configuration, and a faulty set fails the calls"

exit $failed
