#!/usr/bin/env bash
# The ClamAV engine against the floor any front end of libclamav has:
# bench/engine_limit.c, one compiled engine shared by N threads calling
# cl_scandesc with the options and temporary folder Quillet's engine uses,
# over a list of the tree's files made beforehand (no walk of its own).
#   quillet-scan --engine clamav --all-files --jobs N   against   engine_limit N
# for N = 1 and N = the cores, wall time (database loading in both), over the
# 20,000-file tree and a generated database of a few hundred thousand hash
# and body signatures; the findings each reports, compared. Runs alternate
# between the two, so load from elsewhere falls on both alike.
# Goal: quillet-scan within 1.10x of the limit program, for every N.
#
# Usage: bench/limit_bench.sh [WORKDIR]   (needs ~450 MB free there)
# Environment: RUNS (default 3), FILES (20000), HASHES (200000),
# BODIES (100000), JOBS (the number of cores).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
runs=${RUNS:-3}
files=${FILES:-20000}
hashes=${HASHES:-200000}
bodies=${BODIES:-100000}
jobs=${JOBS:-$(nproc)}
source bench/measure.sh

need_packages python3 libclamav-dev pkg-config
scripts/install-deps.sh run
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLET_TESTS=OFF -DQUILLET_UI=OFF >/dev/null
cmake --build build/bench -j2 --target quillet-scan farsend-host farsend farsend_clamav engine_limit >/dev/null
scan=$root/build/bench/bin/quillet-scan limit=$root/build/bench/bin/engine_limit

bench_inputs limit 1500 "" "${1:-}"
echo "tree: $(tr -cd '\0' <"$list" | wc -c) files, $(du -sh "$tree" | cut -f1); database: $hashes hash + $bodies body signatures + 4 that match"
find "$tree" -type f -print0 | xargs -0 cat >/dev/null   # warm the page cache

counts=1
[ "$jobs" -gt 1 ] && counts="1 $jobs"
loads=()
for i in $(seq "$runs"); do
  loads+=("$(load_average)")
  measure quillet-load "$scan" --no-cache --engine clamav --database "$db" --all-files "$work/empty"
  measure_against_limit "$i"
done
loads+=("$(load_average)")

python3 - "$out" "$runs" "$counts" "${loads[*]}" <<'PY'
import sys
sys.dont_write_bytecode = True  # no __pycache__ in the checkout
sys.path.insert(0, "bench")
from bench_runs import Runs, show, WALL, CPU
out, runs, counts, loads = sys.argv[1], int(sys.argv[2]), sys.argv[3].split(), sys.argv[4]
r = Runs(out)
print(f"\n{runs} runs each, medians; load average at each round's start and at the end: {loads}")
r.table(["quillet-load"] + [f"{p}{n}" for n in counts for p in ("limit-", "quillet-j")])
print()
load = r.of("quillet-load")
for n in counts:
    r.ratio(f"quillet-j{n}", f"limit-{n}", WALL, 1.10, f"wall, quillet-scan --jobs {n} / engine_limit, {n} thread(s)")
    r.ratio(f"quillet-j{n}", f"limit-{n}", CPU, None, f"CPU (user+sys, host and workers), --jobs {n} / limit")
    q, lim = r.of(f"quillet-j{n}"), r.limit_numbers(f"limit-{n}")
    if q and lim and load and lim["scan"] > 0:
        show((q[0][WALL] - load[0][WALL]) / lim["scan"], None,
             f"scan alone, --jobs {n}: (wall - wall over an empty folder) / limit's scan seconds")
print()
for n in counts:
    lim, rows = r.limit_numbers(f"limit-{n}"), r.rows(f"quillet-j{n}")
    if lim is None or rows is None:
        continue
    same = "same" if lim["found"] == rows and lim["errors"] == 0 else "DIFFERENT"
    print(f"findings, N = {n}: quillet-scan {rows} rows, engine_limit {lim['found']} found "
          f"of {lim['files']} files ({lim['errors']} errors): {same}")
one = r.limit_numbers("limit-1")
if one:
    print(f"engine_limit's own load: {one['load']:.2f} s (median)")
PY
