#!/usr/bin/env bash
# Speed of the R package against `cmg290 group` on the same records, in the
# same run.
#
#   bench/r_bench.sh [BUILD_DIR] [RECORDS]      (defaults: build, 1000000)
#
# Writes RECORDS synthetic records with `cmg290 sample`, then, in one R
# process, takes the best of RUNS runs (default 3) of each of
#   group(file = FILE, workers = -1L)        the file read and grouped where it lies
#   group(read_records(FILE), workers = -1L) the same end to end through a character vector
#   read_records(FILE)                       into a character vector
#   group(records, workers = -1L)            the character vector, all cores
#   cmg290 group -q FILE -o /dev/null        the command, all cores
# alternating group() and the command so that both see the same load, and
# prints records per second, the ratio of group() to the command, and the
# processor time of each (less disturbed by other work on the machine). Last,
# the peak resident memory of an R process that does nothing but each of
# group(file = FILE) and group(read_records(FILE)), and of the command.
#
# EDITS=1 times besides, in the same alternation,
#   group(records, workers = -1L, edits = TRUE)
#   cmg290 group --edits -q FILE -o /dev/null   (where the command has --edits)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
records=${2:-1000000}
runs=${RUNS:-3}
edits=${EDITS:-0}
tool=$build/tools/cmg290

[ -x "$tool" ] || { echo "r_bench.sh: no tool at $tool; build first" >&2; exit 2; }
[ -d "$build/r/lib/cmg290" ] || { echo "r_bench.sh: no package in $build/r/lib" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/cmg290_rbench.XXXXXX")
trap 'rm -rf "$work"' EXIT
input=$work/records.txt

"$tool" sample --count "$records" --seed 1 -o "$input"
cat "$input" >/dev/null

command_edits=0
if [ "$edits" = 1 ] && "$tool" group --help | grep -q -- '--edits'; then command_edits=1; fi

R_LIBS="$build/r/lib" Rscript --vanilla - "$tool" "$input" "$records" "$runs" "$edits" \
  "$command_edits" <<'EOF_R'
suppressPackageStartupMessages(library(cmg290))
args <- commandArgs(trailingOnly = TRUE)
tool <- args[1]; path <- args[2]; count <- as.integer(args[3]); runs <- as.integer(args[4])
edits <- args[5] == "1"; command_edits <- args[6] == "1"

timed <- function(fn) {
  before <- proc.time()
  value <- fn()
  spent <- proc.time() - before
  # elapsed, and processor time of this process and of its children
  list(elapsed = spent[["elapsed"]], cpu = sum(spent[c(1, 2, 4, 5)], na.rm = TRUE), value = value)
}
best <- function(xs, what) min(vapply(xs, function(x) x[[what]], 0))
line <- function(name, seconds) {
  cat(sprintf("%-38s %6.3f s   %10.0f records/s\n", name, seconds, count / seconds))
}

reads <- lapply(seq_len(runs), function(i) timed(function() read_records(path)))
records <- reads[[1]]$value
stopifnot(length(records) == count)
command <- function(...) {
  timed(function() stopifnot(system2(tool, c("group", ..., "-q", path, "-o", "/dev/null")) == 0))
}
groups <- list()
commands <- list()
edit_groups <- list()
edit_commands <- list()
files <- list()
throughs <- list()
for (i in seq_len(runs)) {
  groups[[i]] <- timed(function() group(records, workers = -1L))
  commands[[i]] <- command()
  files[[i]] <- timed(function() group(file = path, workers = -1L))
  commands[[runs + i]] <- command()
  throughs[[i]] <- timed(function() group(read_records(path), workers = -1L))
  if (edits) {
    edit_groups[[i]] <- timed(function() group(records, workers = -1L, edits = TRUE))
    if (command_edits) edit_commands[[i]] <- command("--edits")
  }
}
stopifnot(nrow(groups[[1]]$value) == count, identical(files[[1]]$value, groups[[1]]$value))
line("group(file =, workers = -1L)", best(files, "elapsed"))
line("group(read_records(), workers = -1L)", best(throughs, "elapsed"))
line("read_records", best(reads, "elapsed"))
line("group(workers = -1L), character vector", best(groups, "elapsed"))
line("cmg290 group -o /dev/null", best(commands, "elapsed"))
cat(sprintf("group / cmg290 group rate:             %4.2f\n",
            best(commands, "elapsed") / best(groups, "elapsed")))
cat(sprintf("group(file =) / cmg290 group rate:     %4.2f\n",
            best(commands, "elapsed") / best(files, "elapsed")))
cat(sprintf("processor time, best run: group(file =) %.3f s, group %.3f s, cmg290 group %.3f s\n",
            best(files, "cpu"), best(groups, "cpu"), best(commands, "cpu")))
# Peak resident memory of a fresh process doing only the one thing, in MiB.
peak <- function(expr) {
  script <- tempfile(fileext = ".R")
  on.exit(unlink(script))
  writeLines(c("suppressPackageStartupMessages(library(cmg290))", "path <- commandArgs(TRUE)[1]",
               expr), script)
  out <- system2("/usr/bin/time", c("-f", "%M", file.path(R.home("bin"), "Rscript"), "--vanilla",
                                    script, path), stdout = TRUE, stderr = TRUE)
  as.numeric(out[length(out)]) / 1024
}
cat(sprintf("peak resident memory: group(file =) %.0f MiB, group(read_records()) %.0f MiB, %s\n",
            peak("invisible(group(file = path, workers = -1L))"),
            peak("invisible(group(read_records(path), workers = -1L))"),
            sprintf("cmg290 group %.0f MiB", {
              out <- system2("/usr/bin/time", c("-f", "%M", tool, "group", "-q", path, "-o",
                                                "/dev/null"), stdout = TRUE, stderr = TRUE)
              as.numeric(out[length(out)]) / 1024
            })))
if (edits) {
  frame <- edit_groups[[1]]$value
  # Column by column: subsetting a frame drops its tier_set attribute.
  plain <- groups[[1]]$value
  stopifnot(nrow(frame) == count,
            all(mapply(identical, frame[names(plain)], plain)))
  cat(sprintf("records with edits: %.1f %%\n", 100 * mean(frame$edits != "")))
  line("group(workers = -1L, edits = TRUE)", best(edit_groups, "elapsed"))
  if (command_edits) {
    line("cmg290 group --edits -o /dev/null", best(edit_commands, "elapsed"))
    cat(sprintf("with edits, group / cmg290 group rate: %4.2f\n",
                best(edit_commands, "elapsed") / best(edit_groups, "elapsed")))
  }
  cat(sprintf("processor time with edits, best run: group %.3f s%s\n", best(edit_groups, "cpu"),
              if (command_edits) sprintf(", cmg290 group %.3f s", best(edit_commands, "cpu")) else ""))
}
EOF_R
