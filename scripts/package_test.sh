#!/usr/bin/env bash
# Builds the Debian packages of a build tree and tries them as a user would:
#  1. cpack builds them; lintian must report no errors;
#  2. apt-get installs them; the installed cmg290 command groups the sample
#     records into the golden results, a program compiled with pkg-config
#     links the installed library, and a throwaway cluster of the system's
#     PostgreSQL 15 runs CREATE EXTENSION cmg290 and a grouping query with
#     the installed extension, Debian's python3 imports the installed
#     Python package, knows its version and groups the sample records, and
#     Debian's R loads the installed R package, knows its version and groups
#     the sample records;
#  3. apt-get purges them; none of their files may be left.
# Installs into the system: run it on a CI machine or one of your own (as
# root, or with sudo).
#
#   scripts/package_test.sh [BUILD_DIR]     (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$(cd "${1:-build}" && pwd)
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
packages=(libcmg290-2 libcmg290-dev cmg290 postgresql-15-cmg290 python3-cmg290 r-cran-cmg290)
scratch=$(mktemp -d /tmp/cmg290-package-test.XXXXXX)
chmod 755 "$scratch"
pgbin=/usr/lib/postgresql/15/bin
server_pid=""

cleanup() {
  if [ -n "$server_pid" ]; then as_server "$pgbin/pg_ctl" -D "$scratch/data" -m immediate stop \
    >/dev/null 2>&1 || true; fi
  if dpkg -s cmg290 >/dev/null 2>&1 || dpkg -s libcmg290-2 >/dev/null 2>&1; then
    $SUDO apt-get purge -y -q "${packages[@]}" >/dev/null 2>&1 || true
  fi
  rm -rf "$scratch"
}
trap cleanup EXIT
trap "exit 1" INT TERM

# The server refuses to run as root; as root it runs as nobody.
as_server() {
  if [ "$(id -u)" -eq 0 ]; then runuser -u nobody -- "$@"; else "$@"; fi
}

echo "== packages"
rm -f "$build"/*.deb
cmake --build "$build" --target package -- -j2 >"$scratch/cpack.log" 2>&1 ||
  { cat "$scratch/cpack.log"; exit 1; }
debs=()
for p in "${packages[@]}"; do
  deb=$(ls "$build/${p}_"*.deb)
  debs+=("$deb")
  echo "$(basename "$deb"): $(dpkg-deb -f "$deb" Depends)"
  dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { sub(/^\./, "", $6); print $6 }' >>"$scratch/files"
done

echo "== lintian"
lintian --fail-on error --tag-display-limit 0 "${debs[@]}" 2>&1 | { grep -v "root privileges" || true; }

echo "== install"
$SUDO apt-get install -y -q "${debs[@]}" >"$scratch/apt.log" 2>&1 || { cat "$scratch/apt.log"; exit 1; }
[ "$(command -v cmg290)" = /usr/bin/cmg290 ]
cmg290 --version
# The golden results were written by the built command from the same records.
cmg290 group -q "$root/examples/assessments.txt" >"$scratch/results.csv"
cmp "$scratch/results.csv" "$root/tests/cli/golden/assessments.csv"
echo "cmg290 group: the golden results"
[ -f /usr/share/man/man1/cmg290.1.gz ]
# Where docs/database-boundary.md's deployment looks for them.
[ -f /usr/lib/libcmg290.so.2 ] && [ -f /usr/share/cmg290/cmg290.sql ]
# Every document the manual page sends its readers to is installed.
named=$(zcat /usr/share/man/man1/cmg290.1.gz | sed 's/\\-/-/g' |
  grep -o '/usr/share/doc/cmg290/[A-Za-z0-9._-]*' | sort -u)
[ "$(wc -l <<<"$named")" -ge 4 ] || { echo "the manual page names too few documents: $named"; exit 1; }
for doc in $named; do
  [ -e "$doc" ] || { echo "the manual page names $doc, which no package installs"; exit 1; }
done
echo "the manual page's documents: $(tr '\n' ' ' <<<"$named")"
# shellcheck disable=SC2046
g++ -std=c++17 -o "$scratch/group_records" "$root/tests/consumer/group_records.cpp" \
  $(pkg-config --cflags --libs cmg290)
"$scratch/group_records" "$root/examples/assessments.txt" | cmp - "$scratch/results.csv"
echo "pkg-config $(pkg-config --modversion cmg290): a program linked with -lcmg290 gives the same"

echo "== PostgreSQL: the installed extension in a throwaway cluster"
mkdir "$scratch/data" "$scratch/run"
if [ "$(id -u)" -eq 0 ]; then chown nobody "$scratch/data" "$scratch/run"; fi
as_server "$pgbin/initdb" -D "$scratch/data" -U postgres -A trust --no-sync -E SQL_ASCII \
  --no-locale >"$scratch/initdb.log" 2>&1 || { cat "$scratch/initdb.log"; exit 1; }
port=$((20000 + RANDOM % 20000))
as_server "$pgbin/pg_ctl" -D "$scratch/data" -l "$scratch/data/server.log" -w \
  -o "-k $scratch/run -c listen_addresses= -p $port" start >/dev/null ||
  { cat "$scratch/data/server.log"; exit 1; }
server_pid=started
record=$(head -n 1 "$root/examples/assessments.txt")
expected=$(sed -n 2p "$scratch/results.csv" | cut -d, -f2,4)
actual=$(echo "CREATE EXTENSION cmg290; SELECT status || ',' || cmg FROM cmg290_group(:'record');" |
  "$pgbin/psql" -X -q -At -v ON_ERROR_STOP=1 -h "$scratch/run" -p "$port" -U postgres -d postgres \
    -v record="$record")
[ "$actual" = "$expected" ] || { echo "extension gives $actual, expected $expected"; exit 1; }
echo "CREATE EXTENSION cmg290; cmg290_group: $actual"
as_server "$pgbin/pg_ctl" -D "$scratch/data" -w stop >/dev/null
server_pid=""

echo "== Python: the installed package"
version=$(cd / && /usr/bin/python3 -c 'import importlib.metadata, cmg290
assert cmg290.__file__ == "/usr/lib/python3/dist-packages/cmg290/__init__.py", cmg290.__file__
assert importlib.metadata.version("cmg290") == cmg290.__version__
print(cmg290.__version__)')
[ "$version" = "$(dpkg-query -W -f '${Version}' python3-cmg290)" ]
(cd / && /usr/bin/python3 - "$root/examples/assessments.txt" "$scratch/results.csv") <<'PY'
import sys
import pandas as pd
import cmg290
frame = cmg290.group_frame(cmg290.read_records(sys.argv[1]))
csv = pd.read_csv(sys.argv[2], dtype=str, keep_default_na=False)
assert list(frame.status) == [int(s) for s in csv.status]
assert [None if pd.isna(c) else c for c in frame.cmg] == [c or None for c in csv.cmg]
print(f"import cmg290 {cmg290.__version__}: group_frame gives the golden statuses and CMGs")
PY

echo "== R: the installed package"
(cd / && R_LIBS= R_LIBS_USER=/nonexistent Rscript --vanilla - "$root/examples/assessments.txt" \
  "$scratch/results.csv" "$(dpkg-query -W -f '${Version}' r-cran-cmg290)") <<'RSCRIPT'
args <- commandArgs(trailingOnly = TRUE)
library(cmg290)
stopifnot(identical(find.package("cmg290"), "/usr/lib/R/site-library/cmg290"))
stopifnot(identical(as.character(packageVersion("cmg290")), args[3]))
frame <- group(read_records(args[1]), workers = -1L)
csv <- read.csv(args[2], colClasses = "character", na.strings = character(0))
stopifnot(identical(as.character(frame$status), csv$status))
stopifnot(identical(ifelse(is.na(frame$cmg), "", frame$cmg), csv$cmg))
stopifnot(nzchar(paste(capture.output(tools::Rd2txt(tools::Rd_db("cmg290")[["group.Rd"]])),
                       collapse = "")))
cat("library(cmg290)", args[3], ": group gives the golden statuses and CMGs\n")
RSCRIPT

echo "== purge"
$SUDO apt-get purge -y -q "${packages[@]}" >"$scratch/apt.log" 2>&1 || { cat "$scratch/apt.log"; exit 1; }
left=0
while read -r f; do
  if [ -e "$f" ] || [ -L "$f" ]; then
    echo "left behind: $f"
    left=1
  fi
done <"$scratch/files"
for d in /usr/include/cmg290 /usr/share/cmg290 /usr/lib/cmake/cmg290 /usr/share/doc/cmg290 \
  /usr/share/doc/libcmg290-2 /usr/share/doc/libcmg290-dev /usr/share/doc/postgresql-15-cmg290 \
  /usr/lib/python3/dist-packages/cmg290 /usr/lib/python3/dist-packages/cmg290-*.dist-info \
  /usr/share/doc/python3-cmg290 /usr/lib/R/site-library/cmg290 /usr/share/doc/r-cran-cmg290; do
  if [ -e "$d" ]; then
    echo "left behind: $d"
    left=1
  fi
done
[ "$left" -eq 0 ]
echo "$(wc -l <"$scratch/files") files installed and removed again"
