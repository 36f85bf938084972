#!/usr/bin/env bash
# Folder tree expansion speed, as a ratio against a baseline measured in the
# same run: expanding a folder that holds 50,000 sub-folders, every expand
# button right (checked against a plain read first), against
#   find DIR -mindepth 1 -maxdepth 1 -type d | sort
# over the same folder, page cache warm.
#   fill:   the namespace read plus the tree's rules (insert, boxes, sort)
#           over an in-memory tree, no window
#   window: the same expansion in the tree control under a private X server
#           (insert, sort and the control's layout of every item), and the
#           first paint after it; only when xvfb-run is installed
# Usage: bench/tree_bench.sh [WORKDIR]
#   BUILD=DIR builds in DIR (default build/tree-bench, a Release build; an
#   existing build folder is used as it is configured).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD:-build/tree-bench}
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$build" -j2 --target tree_fill_bench >/dev/null
bench=$(cd "$build/bin" && pwd)/tree_fill_bench

work=${1:-$(mktemp -d "${TMPDIR:-/tmp}/quillet-tree-bench.XXXXXX")}
mkdir -p "$work"
dir=$work/wide
if [ ! -d "$dir" ]; then
  echo "writing $dir"
  # 50,000 folders created in shuffled order; one in 20 holds a shown
  # sub-folder, others only a hidden folder, a link to a folder or a file.
  python3 - "$dir" 50000 <<'PY'
import os, random, sys
root, count = sys.argv[1], int(sys.argv[2])
os.makedirs(root)
rng = random.Random(2612)
words = ["Photos", "report", "Backup", "src", "data", "Music", "tmp", "Projects"]
order = list(range(count))
rng.shuffle(order)
for i in order:
    path = os.path.join(root, "%s %d" % (words[i % len(words)], i))
    os.mkdir(path)
    kind = i % 20
    if kind == 0:
        os.mkdir(os.path.join(path, "sub"))
    elif kind == 1:
        os.mkdir(os.path.join(path, ".hidden"))
    elif kind == 2:
        os.symlink("..", os.path.join(path, "up"))
    elif kind == 3:
        open(os.path.join(path, "file"), "w").close()
PY
fi

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
timeit() {  # seconds of one run of "$@"
  local t0 t1
  t0=$(date +%s.%N); "$@" >/dev/null 2>&1; t1=$(date +%s.%N)
  python3 -c "print($t1 - $t0)"
}
find_sort() { find "$dir" -mindepth 1 -maxdepth 1 -type d | sort >/dev/null; }

runs=7
find_sort; "$bench" "$dir" 1 >/dev/null  # warm the page cache
t_find=$(for i in $(seq $runs); do timeit find_sort; done | median)
fill_out=$("$bench" "$dir" $runs)
echo "$fill_out" | grep -v '^run ' | grep -v '^median' || true
t_fill=$(echo "$fill_out" | awk '/^median/ {print $2}')

t_window=""
if command -v xvfb-run >/dev/null; then
  window_out=$(scripts/xvfb-test.sh "$bench" "$dir" 3 --window 2>/dev/null || true)
  echo "$window_out" | grep -v '^median' || true
  t_window=$(echo "$window_out" | awk '/^median/ {print $2}')
fi

python3 - "$t_find" "$t_fill" "${t_window:-0}" <<'PY'
import sys
f, c, w = (float(x) for x in sys.argv[1:])
print(f"find | sort:        {f:7.3f} s")
print(f"fill (no window):   {c:7.3f} s   ratio {c/f:5.2f}x (goal <= 3.0x)")
if w:
    print(f"fill in the window: {w:7.3f} s   ratio {w/f:5.2f}x")
PY
[ -n "${1:-}" ] || rm -rf "$work"
