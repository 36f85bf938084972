#!/usr/bin/env bash
# The ClamAV engine with a database the size and shape of a distribution's
# full one (about 4 million hash and 100,000 body signatures, random, with
# a few that match files of the tree: make_signatures.py --full), each
# figure as a ratio against a baseline measured in the same run:
#   load:   quillet-scan over an empty folder  against  clamscan over one
#           (and bench/engine_limit.c's own load seconds);     goal <= 1.10x
#   window: `quillet --engine clamav --database DB` under Xvfb, seconds until
#           the main dialog is viewable and answers (bench/window_live.c);
#           goal < 1 s, whatever the database
#   memory: the largest Pss summed over all of Quillet's processes
#           (bench/tree_rss.py) scanning a 5,000-file tree with --jobs 1
#           and --jobs N (N = the cores) against clamscan -r's;
#           goals: N workers <= 1.15x one worker, <= 1.10x clamscan
#   speed:  quillet-scan --jobs N against engine_limit with N threads, and
#           --jobs 1 against one thread;                       goal <= 1.10x
# Runs alternate between the programs compared, so load from elsewhere
# falls on each alike. Thousands of body signatures cost libclamav
# milliseconds a file, hence the smaller tree (as make_tree.py writes it).
#
# Usage: bench/fullsize_bench.sh [WORKDIR]   (needs ~800 MB free there;
#   /dev/shm when it has room, else $TMPDIR or /tmp; removed after unless given)
# Environment: RUNS (default 3), FILES (5000), HASHES (4000000),
# BODIES (100000), JOBS (the number of cores).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
runs=${RUNS:-3}
files=${FILES:-5000}
hashes=${HASHES:-4000000}
bodies=${BODIES:-100000}
jobs=${JOBS:-$(nproc)}
source bench/measure.sh

need_packages python3 clamav libclamav-dev pkg-config xvfb xauth libx11-dev
scripts/install-deps.sh run
cmake -S . -B build/bench-ui -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLET_TESTS=OFF >/dev/null
cmake --build build/bench-ui -j2 --target quillet quillet-scan farsend-host farsend farsend_clamav \
  engine_limit window_live >/dev/null
bin=$root/build/bench-ui/bin
scan=$bin/quillet-scan limit=$bin/engine_limit

bench_inputs fullsize 2500 --full "${1:-}"
: >"$work/none"
echo "tree: $(tr -cd '\0' <"$list" | wc -c) files, $(du -sh "$tree" | cut -f1); database: $(du -sh "$db" | cut -f1), $(cat "$db"/* | wc -l) signatures"
cat "$db"/* >/dev/null
find "$tree" -type f -print0 | xargs -0 cat >/dev/null   # warm the page cache

window() {
  GDK_BACKEND=x11 NO_AT_BRIDGE=1 \
    xvfb-run -a -s "-screen 0 1280x1024x24" "$bin/window_live" 60 \
    "$bin/quillet" --engine clamav --database "$db" >>"$out/window.runs" 2>>"$out/window.err" || {
    echo "the window did not answer:" >&2; tail -3 "$out/window.err" >&2; exit 1; }
}

counts=1
[ "$jobs" -gt 1 ] && counts="1 $jobs"
loads=()
for i in $(seq "$runs"); do
  loads+=("$(load_average)")
  if [ $((i % 2)) = 1 ]; then
    measure clamscan-load clamscan -r -d "$db" "$work/empty"
    measure quillet-load "$scan" --no-cache --engine clamav --database "$db" --all-files "$work/empty"
    measure limit-load "$limit" "$db" 1 "$work/none"
  else
    measure limit-load "$limit" "$db" 1 "$work/none"
    measure quillet-load "$scan" --no-cache --engine clamav --database "$db" --all-files "$work/empty"
    measure clamscan-load clamscan -r -d "$db" "$work/empty"
  fi
  window
  measure clamscan clamscan -r -d "$db" "$tree"
  measure_against_limit "$i"
done
loads+=("$(load_average)")

python3 - "$out" "$runs" "$counts" "${loads[*]}" <<'PY'
import os, statistics, sys
sys.dont_write_bytecode = True  # no __pycache__ in the checkout
sys.path.insert(0, "bench")
from bench_runs import Runs, show, WALL, TREEPSS, CPU
out, runs, counts, loads = sys.argv[1], int(sys.argv[2]), sys.argv[3].split(), sys.argv[4]
r = Runs(out)
many = counts[-1]
print(f"\n{runs} runs each, medians; load average at each round's start and at the end: {loads}")
r.table(["clamscan-load", "quillet-load", "limit-load", "clamscan"] +
        [f"{p}{n}" for n in counts for p in ("limit-", "quillet-j")])
lim = r.limit_numbers("limit-load")
if lim:
    print(f"engine_limit's own load seconds (cl_init to a compiled engine, median): {lim['load']:.2f}")

print("\nload")
r.ratio("quillet-load", "clamscan-load", WALL, 1.10, "wall to a loaded engine, quillet-scan / clamscan, empty folder")
r.ratio("limit-load", "clamscan-load", WALL, None, "wall to a loaded engine, engine_limit / clamscan, empty folder")

print("\nwindow")
rows = [line.split() for line in open(os.path.join(out, "window.runs")) if line.startswith("mapped")]
if rows:
    mapped = statistics.median(float(x[1]) for x in rows)
    live = statistics.median(float(x[3]) for x in rows)
    print(f"main dialog viewable after {mapped:.3f} s; runs (s): {' '.join(x[3] for x in rows)}")
    show(live, 1.0, "seconds to a main dialog that answers, quillet --engine clamav --database DB", " s")

print("\nmemory (largest Pss summed over the process tree)")
r.ratio(f"quillet-j{many}", "quillet-j1", TREEPSS, 1.15, f"--jobs {many} / --jobs 1")
r.ratio(f"quillet-j{many}", "clamscan", TREEPSS, 1.10, f"--jobs {many} / clamscan -r")
r.ratio("quillet-j1", "clamscan", TREEPSS, 1.10, "--jobs 1 / clamscan -r")

print("\nspeed")
for n in counts:
    r.ratio(f"quillet-j{n}", f"limit-{n}", WALL, 1.10, f"wall, quillet-scan --jobs {n} / engine_limit, {n} thread(s)")
    r.ratio(f"quillet-j{n}", f"limit-{n}", CPU, None, f"CPU, all processes, --jobs {n} / engine_limit")
r.ratio("quillet-j1", "clamscan", WALL, None, "wall, quillet-scan --jobs 1 / clamscan -r")

print()
found = r.found_lines("clamscan")
for n in counts:
    lim, rows = r.limit_numbers(f"limit-{n}"), r.rows(f"quillet-j{n}")
    if lim is None or rows is None:
        continue
    same = "same" if lim["found"] == rows == found and lim["errors"] == 0 else "DIFFERENT"
    print(f"findings, N = {n}: quillet-scan {rows} rows, engine_limit {lim['found']} of {lim['files']} files, "
          f"clamscan {found} FOUND lines: {same}")
PY
