#!/usr/bin/env bash
# What an analyst's ways of grouping a file cost, beside the command's, on one
# sample file in one run: a markdown table of records per second and peak
# resident memory, without and with edits.
#
#   bench/analysts_bench.sh [BUILD_DIR] [RECORDS]      (defaults: build, 2000000)
#
# Writes RECORDS synthetic records with `cmg290 sample` (and the same file cut
# in eight, for Dask), then takes the best of RUNS runs (default 3) of each of
#   cmg290 group --threads T FILE -o /dev/null                   (and --edits)
#   Python group_frame(read_records(FILE), workers=T)            (and edits=True)
#   Python group_frame(pathlib.Path(FILE), workers=T)            (and edits=True)
#   Python cmg290.dask.group_frame(EIGHT FILES).compute()        (and edits=True):
#          Dask's threads scheduler with T workers, a file a partition
#   R group(file = FILE, workers = T)                            (and edits = TRUE)
#   R group(read_records(FILE), workers = T)                     (and edits = TRUE)
#   Python edits_frame and R edits_frame of the first 1,000,000 records (or
#          RECORDS, when fewer) as an array / character vector already read
# each in a process of its own, under /usr/bin/time for its peak resident
# memory (%M: the interpreter and its packages count too). T is THREADS
# (default: the cores this process may use). Records per second are of the
# elapsed time of the call alone (the command's: of the process), and, less
# disturbed by other work on the machine, of its processor time, all threads
# together. The load average is printed first: the machine may be shared.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
records=${2:-2000000}
runs=${RUNS:-3}
threads=${THREADS:-$(nproc)}
tool=$build/tools/cmg290
python=/usr/bin/python3

[ -x "$tool" ] || { echo "analysts_bench.sh: no tool at $tool; build first" >&2; exit 2; }
[ -d "$build/python/cmg290" ] || { echo "analysts_bench.sh: no package in $build/python" >&2; exit 2; }
[ -d "$build/r/lib/cmg290" ] || { echo "analysts_bench.sh: no R package in $build/r/lib" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/cmg290_analysts.XXXXXX")
trap 'rm -rf "$work"' EXIT
input=$work/records.txt
"$tool" sample --count "$records" --seed 1 -o "$input"
split -n l/8 -d "$input" "$work/part"
edits_count=$((records < 1000000 ? records : 1000000))
head -n "$edits_count" "$input" >"$work/edits.txt"
cat "$input" "$work"/part* >/dev/null

# One run of a measured call: "SECONDS CPU_SECONDS" on the last line of its
# standard output, the peak resident memory in KiB (from /usr/bin/time) on
# the last of its standard error. Prints "SECONDS CPU KIB".
measure() {
  local out err
  out=$("/usr/bin/time" -o "$work/time" -f "%e %U %S %M" "$@" 2>"$work/err") || {
    echo "analysts_bench.sh: failed: $*" >&2
    cat "$work/err" >&2
    exit 1
  }
  err=$(tail -n 1 "$work/time")
  if [ -n "$out" ]; then
    echo "$(echo "$out" | tail -n 1) ${err##* }"
  else
    # The command: its own elapsed and processor time.
    awk '{ printf "%s %.3f %s\n", $1, $2 + $3, $4 }' <<<"$err"
  fi
}

# The best of $runs runs of a runner (cmd, py or rs) and its arguments
# (elapsed and processor time each at its least, the most memory of any).
best() {
  local k e c m be="" bc="" bm=0
  for ((k = 0; k < runs; k++)); do
    read -r e c m <<<"$("$@")"
    [ -n "$m" ] || exit 1
    be=$(awk -v a="$be" -v b="$e" 'BEGIN { print (a == "" || b < a) ? b : a }')
    bc=$(awk -v a="$bc" -v b="$c" 'BEGIN { print (a == "" || b < a) ? b : a }')
    bm=$((m > bm ? m : bm))
  done
  echo "$be $bc $bm"
}

cmd() {
  measure "$@"
}

py() {
  measure env PYTHONPATH="$build/python" "$python" -c "
import glob, pathlib, sys, time
import cmg290, cmg290.dask, pandas
path, edits, threads = sys.argv[1], sys.argv[2] == '1', int(sys.argv[3])
$1
wall, cpu = time.perf_counter(), time.process_time()
frame = $2
print(f'{time.perf_counter() - wall:.3f} {time.process_time() - cpu:.3f}')
" "${@:3}"
}

rs() {
  measure env R_LIBS="$build/r/lib" Rscript --vanilla -e "
suppressPackageStartupMessages(library(cmg290))
args <- commandArgs(trailingOnly = TRUE)
path <- args[1]; edits <- args[2] == '1'; threads <- as.integer(args[3])
$1
before <- proc.time()
frame <- $2
spent <- proc.time() - before
cat(sprintf('%.3f %.3f\n', spent[['elapsed']], sum(spent[c(1, 2)])))
" "${@:3}"
}

row() {  # NAME EDITS COUNT then the command to measure
  local name=$1 edits=$2 count=$3 e c m
  shift 3
  read -r e c m <<<"$(best "$@")"
  [ -n "$m" ] || exit 1
  awk -v n="$name" -v x="$edits" -v k="$count" -v e="$e" -v c="$c" -v m="$m" 'BEGIN {
    e = e < 0.001 ? 0.001 : e
    c = c < 0.001 ? 0.001 : c
    printf "| %s | %s | %.0f | %.0f | %.2f | %.2f | %.0f |\n", n, x, k / e, k / c, e, c, m / 1024 }'
}

echo "$records records, $(($(stat -c %s "$input") / 1000000)) MB; threads $threads; best of $runs;" \
  "load average $(cut -d' ' -f1-3 /proc/loadavg)"
echo
echo "| what | edits | records/s | records/s of CPU time | elapsed s | CPU s | peak MiB |"
echo "|---|---|---:|---:|---:|---:|---:|"
for e in 0 1; do
  flag=()
  word=no
  if [ "$e" = 1 ]; then
    flag=(--edits)
    word=yes
  fi
  row "cmg290 group" "$word" "$records" \
    cmd "$tool" group -q "${flag[@]}" --threads "$threads" "$input" -o /dev/null
  row "Python group_frame(read_records(path))" "$word" "$records" \
    py "" "cmg290.group_frame(cmg290.read_records(path), workers=threads, edits=edits)" \
    "$input" "$e" "$threads"
  row "Python group_frame(Path(path))" "$word" "$records" \
    py "" "cmg290.group_frame(pathlib.Path(path), workers=threads, edits=edits)" \
    "$input" "$e" "$threads"
  row "Dask, 8 files, threads scheduler, $threads workers" "$word" "$records" \
    py "import dask; dask.config.set(scheduler='threads', num_workers=threads)" \
    "cmg290.dask.group_frame(sorted(glob.glob(path + '*')), edits=edits).compute()" \
    "$work/part" "$e" "$threads"
  row "R group(file = path)" "$word" "$records" \
    rs "" "group(file = path, workers = threads, edits = edits)" "$input" "$e" "$threads"
  row "R group(read_records(path))" "$word" "$records" \
    rs "" "group(read_records(path), workers = threads, edits = edits)" "$input" "$e" "$threads"
done
row "Python edits_frame (records read)" yes "$edits_count" \
  py "records = cmg290.read_records(path)" "cmg290.edits_frame(records, workers=threads)" \
  "$work/edits.txt" 1 "$threads"
row "R edits_frame (records read)" yes "$edits_count" \
  rs "records <- read_records(path)" "edits_frame(records, workers = threads)" \
  "$work/edits.txt" 1 "$threads"
