#!/usr/bin/env bash
# Rewrites the expected outputs of the command-line tests with what the
# built tool writes now. Run it after an intended change of the results (the
# tier search, the tables, the sample records, the output formats) and
# review the diff before committing.
#
#   tests/cli/update_golden.sh [BUILD_DIR]     (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
tool=$build/tools/cmg290
golden=$root/tests/cli/golden
input=$root/examples/assessments.txt

# Exit code 1 only says that some records were not grouped.
group() {
  local rc=0
  "$tool" group -q "$@" || rc=$?
  if [ "$rc" -gt 1 ]; then
    echo "update_golden.sh: cmg290 group $* failed with exit code $rc" >&2
    exit 1
  fi
}

group -f csv "$input" > "$golden/assessments.csv"
group -f jsonl "$input" > "$golden/assessments.jsonl"
group -f fixed --id 1:10 "$input" > "$golden/assessments.fixed"
"$tool" sample --count 300 --seed 7 | group --id 12:10 > "$golden/sample_300_seed_7.csv"
"$tool" explain "$input" > "$golden/explain.txt"
"$tool" explain -f json "$input" > "$golden/explain.jsonl"
echo "updated $(ls "$golden" | wc -l) files in $golden"
