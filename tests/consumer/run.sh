#!/usr/bin/env bash
# Installs the built project into a scratch prefix, builds the consumer
# project beside this script against it as C++17, the standard the headers
# promise, once with find_package (shared and static library) and once with
# pkg-config (a plain compiler command with the linker's default flags), and
# checks that each groups the sample records exactly as the installed
# `cmg290 group` does and builds records as `cmg290 build` does.
#
#   run.sh BUILD_DIR SAMPLES [CMAKE]
set -euo pipefail

build=${1:?usage: run.sh BUILD_DIR SAMPLES [CMAKE]}
samples=${2:?usage: run.sh BUILD_DIR SAMPLES [CMAKE]}
cmake=${3:-cmake}
here=$(cd "$(dirname "$0")" && pwd)
scratch=$(mktemp -d /tmp/cmg290_consumer.XXXXXX)
trap 'rm -rf "$scratch"' EXIT
prefix=$scratch/prefix

"$cmake" --install "$build" --prefix "$prefix" >/dev/null
"$prefix/bin/cmg290" group -q "$samples" >"$scratch/expected.csv"
[ -s "$scratch/expected.csv" ]

failures=0
compare() {
  if cmp -s "$scratch/expected.csv" "$scratch/$1.csv"; then
    echo "$1: same results as cmg290 group"
  else
    echo "FAIL: $1 differs from cmg290 group:"
    diff "$scratch/expected.csv" "$scratch/$1.csv" | head -20
    failures=$((failures + 1))
  fi
}

# find_package(cmg290 CONFIG REQUIRED)
"$cmake" -S "$here" -B "$scratch/consumer" -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_CXX_STANDARD=17 -DCMAKE_CXX_EXTENSIONS=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
"$cmake" --build "$scratch/consumer" -j2 >/dev/null
"$scratch/consumer/group_shared" "$samples" >"$scratch/find_package_shared.csv"
"$scratch/consumer/group_static" "$samples" >"$scratch/find_package_static.csv"
compare find_package_shared
compare find_package_static
# build_record from a C++17 program, against the command's own builder.
printf 'record_id,birth_date,impairment_group,age_date\nIRF-PAI,19500310,  01.1,20241001\n' |
  "$prefix/bin/cmg290" build -o "$scratch/expected_built.txt" -
printf 'record_id,comorbid_code_1\nIRF-PAI,J38.01\n' |
  "$prefix/bin/cmg290" build - >>"$scratch/expected_built.txt"
"$scratch/consumer/build_one" >"$scratch/built.txt"
if cmp -s "$scratch/expected_built.txt" "$scratch/built.txt"; then
  echo "build_one: same records as cmg290 build"
else
  echo "FAIL: build_one's records differ from cmg290 build's"
  failures=$((failures + 1))
fi

# ldd's whole output first: grep -q would stop reading at the first match,
# and ldd, cut off, would fail the pipeline now and then.
libraries=$(ldd "$scratch/consumer/group_shared")
[[ "$libraries" == *"libcmg290.so.2 => $prefix/"* ]] ||
  { echo "FAIL: group_shared does not load the installed libcmg290.so.2"; failures=$((failures + 1)); }

# pkg-config --cflags --libs cmg290
pc=$(find "$prefix" -name cmg290.pc)
export PKG_CONFIG_PATH
PKG_CONFIG_PATH=$(dirname "$pc")
# shellcheck disable=SC2046
g++ -std=c++17 -o "$scratch/group_pkg_config" "$here/group_records.cpp" \
  $(pkg-config --cflags --libs cmg290)
LD_LIBRARY_PATH=$(pkg-config --variable=libdir cmg290) \
  "$scratch/group_pkg_config" "$samples" >"$scratch/pkg_config.csv"
compare pkg_config

exit $((failures != 0))
