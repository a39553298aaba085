#!/usr/bin/env bash
# Compiles each public header alone: a file that includes only it, with the
# given standard, -pedantic, -Wall, -Wextra and warnings as errors.
#
#   compile_headers.sh COMPILER INCLUDE_DIR STANDARD
set -euo pipefail
compiler=${1:?usage: compile_headers.sh COMPILER INCLUDE_DIR STANDARD}
include=${2:?usage: compile_headers.sh COMPILER INCLUDE_DIR STANDARD}
standard=${3:?usage: compile_headers.sh COMPILER INCLUDE_DIR STANDARD}

failures=0
count=0
for header in "$include"/cmg290/*.h; do
  name=cmg290/$(basename "$header")
  count=$((count + 1))
  if ! printf '#include <%s>\nint main() { return 0; }\n' "$name" |
    "$compiler" -std="$standard" -pedantic -Wall -Wextra -Werror -I"$include" -x c++ \
      -fsyntax-only -; then
    echo "FAIL: $name does not compile alone as $standard"
    failures=$((failures + 1))
  fi
done
[ "$count" -gt 0 ] || { echo "FAIL: no headers under $include/cmg290"; exit 1; }
echo "$count headers, $failures failing as $standard"
exit $((failures != 0))
