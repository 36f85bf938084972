#!/usr/bin/env bash
# Clean verdicts remembered between scans, measured in one run over the
# 20,000-file tree with "All files" on, for ClamAV in the host (a generated
# database of a few hundred thousand signatures) and the reference engine:
#   a second scan of the unchanged tree  against  the first (goal <= 0.10x);
#   the first scan, remembering          against  --no-cache (what keeping
#                                                 the verdicts costs);
# and checks that a file rewritten with its old size and modification time
# put back (touch -r) is read again and found.
# Usage: bench/cache_bench.sh [WORKDIR]
# Environment: RUNS (default 3), FILES (20000), HASHES (200000), BODIES (100000).
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${RUNS:-3}
files=${FILES:-20000}
hashes=${HASHES:-200000}
bodies=${BODIES:-100000}
source bench/measure.sh

need_packages python3 clamav libclamav-dev pkg-config
scripts/install-deps.sh run
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLET_TESTS=OFF -DQUILLET_UI=OFF >/dev/null
cmake --build build/bench -j2 --target quillet-scan farsend-host farsend farsend_clamav >/dev/null
scan=$(pwd)/build/bench/bin/quillet-scan

# The verdicts go to $XDG_CACHE_HOME, in the work folder's private home.
bench_inputs cache 1500 "" "${1:-}"
# A verdict is remembered only for a file unchanged for 2 s before it is read.
sleep 2
find "$tree" -type f -print0 | xargs -0 cat >/dev/null   # warm the page cache

seconds() {  # seconds of one quillet-scan run; its JSON summary in $work/last
  local t0 t1 rc=0
  t0=$(date +%s.%N)
  "$@" >"$work/last" 2>"$work/last.err" || rc=$?
  t1=$(date +%s.%N)
  if [ "$rc" -gt 1 ]; then echo "failed ($rc): $*" >&2; tail -3 "$work/last.err" >&2; exit 1; fi
  python3 -c "print($t1 - $t0)"
}
unchanged() { python3 -c 'import json,sys; print(json.loads(open(sys.argv[1]).read().splitlines()[-1])["unchanged"])' "$work/last"; }

: >"$work/results"
for engine in clamav reference; do
  args=(--json --all-files --engine "$engine")
  [ "$engine" = clamav ] && args+=(--database "$db")
  for i in $(seq "$runs"); do
    echo "$engine nocache $(seconds "$scan" "${args[@]}" --no-cache "$tree")" >>"$work/results"
    rm -rf "$XDG_CACHE_HOME"
    echo "$engine first $(seconds "$scan" "${args[@]}" "$tree")" >>"$work/results"
    echo "$engine second $(seconds "$scan" "${args[@]}" "$tree")" >>"$work/results"
    echo "$engine second-unchanged $(unchanged)" >>"$work/results"
  done
done

# A file rewritten with a finding, its size and times put back: read again.
victim=$(find "$tree" -type f -size 68c | head -1)
if [ -z "$victim" ]; then
  victim=$tree/d0000/rewritten.bin
  head -c 68 /dev/urandom >"$victim"
  sleep 2
  "$scan" --json --all-files --engine reference "$tree" >/dev/null 2>&1 || true
fi
cp -p "$victim" "$work/times"
python3 -c 'import base64,sys; open(sys.argv[1],"wb").write(base64.b64decode(b"WDVPIVAlQEFQWzRcUFpYNTQoUF4pN0NDKTd9JEVJQ0FSLVNUQU5EQVJELUFOVElWSVJVUy1URVNULUZJTEUhJEgrSCo="))' "$victim"
touch -r "$work/times" "$victim"
rc=0
"$scan" --json --all-files --engine reference "$tree" >"$work/last" 2>/dev/null || rc=$?
if [ "$rc" = 1 ] && grep -qF "\"path\":\"$victim\"" "$work/last"; then
  echo "touch -r: the rewritten file was read again and found"
else
  echo "touch -r: the rewritten file was NOT found (exit $rc)"
fi
cp -p "$work/times" "$victim"

python3 - "$work/results" "$runs" <<'PY'
import statistics, sys
rows = {}
for line in open(sys.argv[1]):
    engine, what, value = line.split()
    rows.setdefault((engine, what), []).append(float(value))
print(f"\n{sys.argv[2]} runs each, medians")
for engine in ("clamav", "reference"):
    m = {w: statistics.median(rows[(engine, w)]) for w in ("nocache", "first", "second")}
    print(f"{engine:10} --no-cache {m['nocache']:6.2f} s   first {m['first']:6.2f} s   second {m['second']:6.2f} s"
          f"   unchanged in the second: {int(min(rows[(engine, 'second-unchanged')]))}")
    r = m["second"] / m["first"]
    print(f"{'':10} second / first scan        {r:5.3f}x  (goal <= 0.10x) {'ok' if r <= 0.10 else 'OVER'}")
    print(f"{'':10} first / --no-cache         {m['first'] / m['nocache']:5.3f}x  (what remembering costs)")
PY
