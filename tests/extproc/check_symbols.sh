#!/usr/bin/env bash
# Checks the built libcmg290.so as the external-procedure agent will load it:
#  - every platform function it calls is undefined, to be resolved from the
#    loading process (unversioned, so no client library is bound in), and a
#    weak reference, so that an ordinary program can link the library too;
#  - callcmg290 is defined and exported under its plain name, and the
#    boundary's own routines are not exported;
#  - it needs no library beyond the C and C++ runtimes (and the sanitizer
#    runtimes in a sanitizer build): no database client library.
set -euo pipefail

lib=${1:?usage: check_symbols.sh LIBRARY}
symbols=$(readelf --dyn-syms -W "$lib")
needed=$(readelf -d -W "$lib" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# Columns: Num Value Size Type Bind Vis Ndx Name
for f in ociepgoe ociepmsg ociepacm OCIContextGetValue OCIContextSetValue OCIMemoryAlloc \
  OCIErrorGet OCIExtractInit OCIExtractSetNumKeys OCIExtractTerm OCIFileInit OCIFileTerm; do
  awk -v f="$f" '$8 == f && $7 == "UND" { found = 1 } END { exit !found }' <<<"$symbols" ||
    fail "$f is not an unversioned undefined symbol"
  awk -v f="$f" '$8 == f && $5 == "WEAK" { found = 1 } END { exit !found }' <<<"$symbols" ||
    fail "$f is not a weak reference"
done

awk '$8 == "callcmg290" && $4 == "FUNC" && $5 == "GLOBAL" && $6 == "DEFAULT" && $7 != "UND" \
  { found = 1 } END { exit !found }' <<<"$symbols" ||
  fail "callcmg290 is not exported under its plain name"

if private=$(awk '$7 != "UND" && $8 ~ /lastOciError|raise_application_error|myCtx|[0-9]initEP|[0-9]termEP/' \
  <<<"$symbols") && [ -n "$private" ]; then
  fail "private routines exported: $private"
fi

while read -r lib_needed; do
  [ -z "$lib_needed" ] && continue
  case "$lib_needed" in
    libc.so.* | libm.so.* | libstdc++.so.* | libgcc_s.so.* | ld-linux*) ;;
    libasan.so.* | libubsan.so.* | libtsan.so.* | liblsan.so.*) ;;
    *) fail "unexpected NEEDED entry $lib_needed" ;;
  esac
done <<<"$needed"

if [ "$failures" -ne 0 ]; then exit 1; fi
echo "$lib: platform functions undefined, callcmg290 exported, needs: $(echo $needed)"
