#!/usr/bin/env bash
# Scan speed and memory, each as a ratio against baselines measured in the
# same run:
#   quillet-scan --all-files over 20,000 files in 1,000 folders (~370 MB, page
#   cache warm) against reading the same files with find | xargs cat, and
#   against clamscan -r with a one-signature database for the same string;
#   peak memory over 200,000 empty files against 20,000 empty files.
# Usage: bench/scan_bench.sh [WORKDIR]   (needs ~400 MB free there)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

need=()
for pkg in python3 clamav time; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || need+=("$pkg")
done
if [ ${#need[@]} -gt 0 ]; then
  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${need[@]}" >/dev/null
fi
scripts/install-deps.sh run
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLET_TESTS=OFF -DQUILLET_UI=OFF >/dev/null
cmake --build build/bench -j2 --target quillet-scan farsend-host farsend >/dev/null
scan=$root/build/bench/bin/quillet-scan

work=${1:-$(mktemp -d "${TMPDIR:-/tmp}/quillet-bench.XXXXXX")}
mkdir -p "$work"
tree=$work/tree
if [ ! -d "$tree" ]; then
  echo "writing $tree"
  python3 bench/make_tree.py "$tree" 20000 1000
fi
# One signature: the same test string the reference engine detects.
python3 - "$work/one.ndb" <<'PY'
import base64, sys
s = base64.b64decode(b"WDVPIVAlQEFQWzRcUFpYNTQoUF4pN0NDKTd9JEVJQ0FSLVNUQU5EQVJELUFOVElWSVJVUy1URVNULUZJTEUhJEgrSCo=")
open(sys.argv[1], "w").write("Quillet.Bench.Test:0:*:%s\n" % s.hex())
PY
du -sh "$tree" | sed 's/^/tree size: /'

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
timeit() {  # prints seconds of one run of "$@"
  local t0 t1
  t0=$(date +%s.%N); "$@" >/dev/null 2>&1 || true; t1=$(date +%s.%N)
  echo "$t1 - $t0" | bc -l 2>/dev/null || python3 -c "print($t1 - $t0)"
}
read_all() { find "$tree" -type f -print0 | xargs -0 cat > /dev/null; }
# On some kernels cat into /dev/null is far slower than into a file; this
# second baseline reads the same bytes into a file instead.
read_sink() { find "$tree" -type f -print0 | xargs -0 cat > "$work/sink"; rm -f "$work/sink"; }
scan_all() { "$scan" --no-cache --all-files "$tree"; }
clam_all() { clamscan -r --no-summary --database="$work/one.ndb" "$tree"; }

read_all; scan_all >/dev/null || true   # warm the page cache
runs=5
t_read=$(for i in $(seq $runs); do timeit read_all; done | median)
t_sink=$(for i in $(seq $runs); do timeit read_sink; done | median)
t_scan=$(for i in $(seq $runs); do timeit scan_all; done | median)
t_find=$(for i in $(seq $runs); do timeit find "$tree" -type f; done | median)
t_clam=$(for i in 1 2; do timeit clam_all; done | median)

rows=$(scan_all | grep -c $'\t' || true)
python3 - "$t_read" "$t_scan" "$t_find" "$t_clam" "$rows" "$t_sink" <<'PY'
import sys
r, s, f, c, rows, k = (float(x) for x in sys.argv[1:])
print(f"bare find:        {f:7.3f} s")
print(f"read (find|cat > /dev/null): {r:7.3f} s")
print(f"read (find|cat > file):      {k:7.3f} s")
print(f"quillet-scan:     {s:7.3f} s   ratio to reading {s/r:5.2f}x (goal <= 2.0x), to reading into a file {s/k:5.2f}x, findings {int(rows)}")
print(f"clamscan -r:      {c:7.3f} s   quillet-scan is {c/s:5.1f}x faster (goal >= 5x)")
PY

# Memory: empty files, the same number of folders, 10x the files. The scan
# itself (--no-cache); then the first scan that remembers every file clean,
# whose kept verdicts grow with the files up to their bound (400,000).
mem() { /usr/bin/time -f %M "$scan" "$@" 2>&1 >/dev/null | tail -1; }
for n in 20000 200000; do
  [ -d "$work/empty$n" ] || python3 bench/make_tree.py "$work/empty$n" $n 1000 empty
done
sleep 2  # files this new are not remembered
m20=$(mem --no-cache --all-files "$work/empty20000"); m200=$(mem --no-cache --all-files "$work/empty200000")
c20=$(XDG_CACHE_HOME=$work/cache20 mem --all-files "$work/empty20000")
c200=$(XDG_CACHE_HOME=$work/cache200 mem --all-files "$work/empty200000")
rm -rf "$work/cache20" "$work/cache200"
python3 - "$m20" "$m200" "$c20" "$c200" <<'PY'
import sys
a, b, c, d = (int(x) for x in sys.argv[1:])
print(f"peak RSS, 20,000 empty files:  {a} KiB")
print(f"peak RSS, 200,000 empty files: {b} KiB   ratio {b/a:4.2f} (flat is 1.0)")
print(f"remembering them clean:        {c} KiB and {d} KiB, {(d - b) / 200000 * 1024:.0f} bytes a file (bounded)")
PY
[ -n "${1:-}" ] || rm -rf "$work"
