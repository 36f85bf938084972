#!/usr/bin/env bash
# Quarantine's cost, as a ratio against a baseline measured in the same run:
# 1,000 findings of 100 KB each (the EICAR test string in random bytes, which
# the reference engine cannot repair) moved into the work folder by
#   quillet-scan --quarantine          against  cp of the same files into a
#                                               folder on the work folder's file
#                                               system, then rm of the originals.
# quillet-scan also scans the files; the same scan without --quarantine is
# timed too, so the quarantine's own share shows. Every copy and its record are
# synced before its file is removed (copies made together share one sync);
# cp syncs nothing.
#
# Usage: bench/quarantine_bench.sh [WORKDIR]   (needs ~250 MB free there)
# Environment: RUNS (default 3), FILES (1000), SIZE_KB (100).
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${RUNS:-3}
files=${FILES:-1000}
size_kb=${SIZE_KB:-100}
bin=build/release/bin
[ -x "$bin/quillet-scan" ] || scripts/build.sh release >/dev/null

work=${1:-$(mktemp -d /var/tmp/quillet-quarantine-bench.XXXXXX)}
mkdir -p "$work"
work=$(cd "$work" && pwd)
trap 'rm -rf "$work/pristine" "$work/tree" "$work/state" "$work/copy"' EXIT

# The findings, made once; every run starts from a copy of them.
mkdir -p "$work/pristine"
python3 - "$work/pristine" "$files" "$size_kb" <<'EOF'
import os, sys
folder, files, size = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]) * 1024
eicar = b"X5O!P%@AP[4\\PZX54(P^)7CC)7}$EICAR-STANDARD-ANTIVIRUS-TEST-FILE!$H+H*"
for i in range(files):
    body = bytearray(os.urandom(size - len(eicar)))
    at = (i * 7919) % len(body)
    with open(os.path.join(folder, "finding-%05d.exe" % i), "wb") as f:
        f.write(bytes(body[:at]) + eicar + bytes(body[at:]))
EOF

fresh() {
  rm -rf "$work/tree" "$work/state" "$work/copy"
  cp -r "$work/pristine" "$work/tree"
  mkdir -p "$work/state" "$work/copy"
  sync
}
seconds() { python3 -c 'import time; print(time.monotonic())'; }
median() { printf '%s\n' "$@" | sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

scan=() quarantine=() baseline=()
for ((r = 1; r <= runs; r++)); do
  fresh
  t0=$(seconds)
  TMPDIR="$work/state" "$bin/quillet-scan" --no-cache "$work/tree" >/dev/null || true
  t1=$(seconds)
  scan+=("$(python3 -c "print($t1 - $t0)")")

  fresh
  t0=$(seconds)
  TMPDIR="$work/state" "$bin/quillet-scan" --no-cache --quarantine "$work/tree" >"$work/rows" || true
  t1=$(seconds)
  quarantine+=("$(python3 -c "print($t1 - $t0)")")
  moved=$(grep -c $'\tQuarantined$' "$work/rows" || true)
  left=$(find "$work/tree" -type f | wc -l)
  [ "$moved" -eq "$files" ] && [ "$left" -eq 0 ] || { echo "quarantine moved $moved, left $left" >&2; exit 1; }

  fresh
  t0=$(seconds)
  cp "$work/tree"/* "$work/copy"/
  rm "$work/tree"/*
  t1=$(seconds)
  baseline+=("$(python3 -c "print($t1 - $t0)")")
done

s=$(median "${scan[@]}") q=$(median "${quarantine[@]}") b=$(median "${baseline[@]}")
printf 'files %d x %d KB, %d runs, medians (s): scan %.3f, scan+quarantine %.3f, cp+rm %.3f\n' \
  "$files" "$size_kb" "$runs" "$s" "$q" "$b"
python3 - "$s" "$q" "$b" <<'EOF'
import sys
s, q, b = map(float, sys.argv[1:])
print("quillet-scan --quarantine / (cp + rm): %.2fx   (goal <= 1.5x)" % (q / b))
print("its quarantine share (scan+quarantine - scan) / (cp + rm): %.2fx" % ((q - s) / b))
EOF
