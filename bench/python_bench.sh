#!/usr/bin/env bash
# Speed of the Python package against `cmg290 group` on the same records, in
# the same run.
#
#   bench/python_bench.sh [BUILD_DIR] [RECORDS]      (defaults: build, 1000000)
#
# Writes RECORDS synthetic records with `cmg290 sample`, then, in one Python
# process, takes the best of RUNS runs (default 3) of each of
#   cmg290.group_frame(Path(FILE))         the file read and grouped where it lies, all cores
#   cmg290.group_frame(read_records(FILE)) the same end to end through the array
#   cmg290.read_records(FILE)
#   cmg290.group_frame(array)              the S1251 array, all cores
#   cmg290.group_frame(array, edits=True)  the same, with the edits column
#   cmg290 group -q FILE -o /dev/null      the command, all cores
#   cmg290.group_frame(list of str)
# alternating the array and the command so that both see the same load, and
# prints records per second, the ratio of group_frame to the command, the
# processor time of each (less disturbed by other work on the machine), and the
# most memory the first group_frame had allocated (as tracemalloc, which NumPy
# reports to, counts it) against the size of its output columns. Last, the
# peak resident memory of a process that does nothing but each of
# group_frame(Path(FILE)), group_frame(read_records(FILE)) and the command.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
records=${2:-1000000}
runs=${RUNS:-3}
tool=$build/tools/cmg290

[ -x "$tool" ] || { echo "python_bench.sh: no tool at $tool; build first" >&2; exit 2; }
[ -d "$build/python/cmg290" ] || { echo "python_bench.sh: no package in $build/python" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/cmg290_pybench.XXXXXX")
trap 'rm -rf "$work"' EXIT
input=$work/records.txt

"$tool" sample --count "$records" --seed 1 -o "$input"
cat "$input" > /dev/null

PYTHONPATH="$build/python" /usr/bin/python3 - "$tool" "$input" "$records" "$runs" <<'EOF'
import os
import pathlib
import resource
import subprocess
import sys
import time
import tracemalloc

import cmg290

tool, path, count, runs = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4])


cpu = {"group_frame": [], "edits": [], "command": [], "path": []}


def timed(fn):
    start = time.perf_counter()
    value = fn()
    return time.perf_counter() - start, value


def children_cpu():
    r = resource.getrusage(resource.RUSAGE_CHILDREN)
    return r.ru_utime + r.ru_stime


def frame_run():
    start = time.process_time()
    cmg290.group_frame(array)
    cpu["group_frame"].append(time.process_time() - start)


def edits_run():
    start = time.process_time()
    frame = cmg290.group_frame(array, edits=True)
    cpu["edits"].append(time.process_time() - start)
    return frame


def path_run():
    start = time.process_time()
    cmg290.group_frame(pathlib.Path(path))
    cpu["path"].append(time.process_time() - start)


def command():
    start = children_cpu()
    rc = subprocess.run([tool, "group", "-q", path, "-o", "/dev/null"]).returncode
    cpu["command"].append(children_cpu() - start)
    if rc > 1:
        sys.exit(f"python_bench.sh: cmg290 group failed with exit code {rc}")


read_s = min(timed(lambda: cmg290.read_records(path))[0] for _ in range(runs))
array = cmg290.read_records(path)
assert len(array) == count

cmg290.group_frame(array[:10])  # imports pandas
tracemalloc.start()  # NumPy reports its allocations here
first_s, frame = timed(lambda: cmg290.group_frame(array))
peak = tracemalloc.get_traced_memory()[1]
tracemalloc.stop()
columns = frame.memory_usage(index=False, deep=False).sum()
del frame

frame_s, command_s, edits_s, path_s, through_s = [first_s], [], [], [], []
for _ in range(runs):
    command_s.append(timed(command)[0])
    path_s.append(timed(path_run)[0])
    command_s.append(timed(command)[0])
    through_s.append(timed(lambda: cmg290.group_frame(cmg290.read_records(path)))[0])
    frame_s.append(timed(frame_run)[0])
    seconds, frame = timed(edits_run)
    edits_s.append(seconds)
with_edits = (frame["edits"] != "").sum()
del frame
del array

lines = [r.decode("latin-1") for r in cmg290.read_records(path)]
list_s = min(timed(lambda: cmg290.group_frame(lines))[0] for _ in range(runs))


def peak_rss(*command):
    # The peak resident memory of `command`, in MiB, as /usr/bin/time sees
    # it (a child of this process would inherit this process's own peak).
    run = subprocess.run(["/usr/bin/time", "-f", "%M", *command], capture_output=True,
                         text=True, check=True)
    return float(run.stderr.split()[-1]) / 1024


def peak_python(code):
    return peak_rss(sys.executable, "-c", "import sys, pathlib, cmg290\n" + code, path)


rss_path = peak_python("cmg290.group_frame(pathlib.Path(sys.argv[1]))")
rss_through = peak_python("cmg290.group_frame(cmg290.read_records(sys.argv[1]))")
rss_command = peak_rss(tool, "group", "-q", path, "-o", "/dev/null")


def report(label, seconds):
    print(f"{label:34s} {seconds:8.3f} s  {count / seconds:12.0f} records/s")


print(f"input: {count} records, {os.path.getsize(path) // 1000000} MB; "
      f"{len(os.sched_getaffinity(0))} cores; best of {runs} runs")
report("group_frame(Path(FILE))", min(path_s))
report("group_frame(read_records(FILE))", min(through_s))
report("read_records", read_s)
report("group_frame, S1251 array", min(frame_s))
report("group_frame, edits=True", min(edits_s))
report("cmg290 group -o /dev/null", min(command_s))
report("group_frame, list of str", list_s)
print(f"group_frame(Path) / cmg290 group rate: {min(command_s) / min(path_s):4.2f}")
print(f"group_frame / cmg290 group rate:   {min(command_s) / min(frame_s):8.2f}")
print(f"group_frame with edits / without:  {min(edits_s) / min(frame_s):8.2f} "
      f"({with_edits} records with edits)")
print(f"processor time, best run: group_frame(Path) {min(cpu['path']):.3f} s, "
      f"group_frame {min(cpu['group_frame']):.3f} s, "
      f"with edits {min(cpu['edits']):.3f} s, cmg290 group {min(cpu['command']):.3f} s")
print(f"group_frame memory: peak {peak / 2**20:.1f} MiB allocated, "
      f"output columns {columns / 2**20:.1f} MiB, the rest {(peak - columns) / 1024:.0f} KiB")
print(f"peak resident memory: group_frame(Path) {rss_path:.0f} MiB, "
      f"group_frame(read_records) {rss_through:.0f} MiB, cmg290 group {rss_command:.0f} MiB")
EOF
