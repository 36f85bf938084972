#!/usr/bin/env bash
# The scan through the scan results dialog (under Xvfb) against quillet-scan
# over the same tree, measured in one run: the 20,000-file tree of the scan
# benchmark, and a tree where all 20,000 files are findings.
# Usage: bench/gui_bench.sh [WORKDIR]
set -euo pipefail
cd "$(dirname "$0")/.."
need=()
for pkg in python3 xvfb xauth; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || need+=("$pkg")
done
if [ ${#need[@]} -gt 0 ]; then
  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${need[@]}" >/dev/null
fi
scripts/install-deps.sh run
cmake -S . -B build/bench-ui -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLET_TESTS=OFF >/dev/null
cmake --build build/bench-ui -j2 --target quillet-scan gui_scan_bench farsend-host farsend >/dev/null
bin=$(pwd)/build/bench-ui/bin

work=${1:-$(mktemp -d "${TMPDIR:-/tmp}/quillet-gui-bench.XXXXXX")}
mkdir -p "$work"
[ -d "$work/tree" ] || python3 bench/make_tree.py "$work/tree" 20000 1000
[ -d "$work/findings" ] || python3 bench/make_tree.py "$work/findings" 20000 1000 findings

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
cli() {  # seconds of one quillet-scan run
  local t0 t1
  t0=$(date +%s.%N); "$bin/quillet-scan" --no-cache --all-files "$1" >/dev/null || true; t1=$(date +%s.%N)
  python3 -c "print($t1 - $t0)"
}
gui() {  # seconds of the walk in the dialog, as the program measures it
  scripts/xvfb-test.sh "$bin/gui_scan_bench" "$1" | awk '{print $1}'
}
for name in tree findings; do
  cli "$work/$name" >/dev/null  # warm the cache
  t_cli=$(for i in 1 2 3; do cli "$work/$name"; done | median)
  t_gui=$(for i in 1 2 3; do gui "$work/$name"; done | median)
  python3 - "$name" "$t_cli" "$t_gui" <<'PY'
import sys
name, c, g = sys.argv[1], float(sys.argv[2]), float(sys.argv[3])
goal = "1.15x" if name == "tree" else "1.3x"
print(f"{name:9s} quillet-scan {c:6.3f} s   scan dialog {g:6.3f} s   ratio {g/c:4.2f}x (goal <= {goal})")
PY
done
[ -n "${1:-}" ] || rm -rf "$work"
