#!/usr/bin/env bash
# The ClamAV engine's speed and memory, each as a ratio against baselines
# measured in the same run, over the 20,000-file tree with "All files" on and
# one generated database of a few hundred thousand hash and body signatures:
#   quillet-scan --engine clamav  against  clamscan -r   (database loading in both)
#       wall time, and peak memory;
#   quillet-scan --engine clamd   against  clamdscan, one file at a time (not
#       --multiscan), plain and --fdpass, against one daemon this script starts
#       on a private socket and stops; and against clamdscan --multiscan
#       --fdpass, with the daemon's cache on and off, --jobs 1 against
#       clamdscan --fdpass (files in flight on one session either way).
# Several workers (the default, one per core) against --jobs 1, for ClamAV in
# the host, through clamd (and against clamdscan --multiscan) and for the
# reference engine, with their output compared byte for byte.
# Also checks that the rows quillet-scan prints name the same files with the
# same names as the FOUND lines of clamscan and clamdscan.
# Two clamscans at once over halves of the tree show what two cores give
# libclamav on this machine at best; a daemon with its cache off shows clamd
# scanning every file, as on a tree it has not seen.
#
# Memory: GNU time's %M is ru_maxrss from wait4() on the command, which Linux
# fills with the largest peak RSS of that process and of every descendant
# reaped before it ended: for quillet-scan the larger of quillet-scan's and
# farsend-host's own peaks, never their sum. bench/tree_rss.py samples the
# Pss summed over the whole process tree as well (forked workers share the
# loaded engine's pages; Pss counts them once).
#
# Every quillet-scan run reads every file (--no-cache), as the baselines do.
#
# Usage: bench/clamav_bench.sh [WORKDIR]   (needs ~450 MB free there)
# Environment: RUNS (default 3), HASHES (200000), BODIES (100000), FILES
# (20000: a smaller tree for a quick look), ONLY=clamd (the daemon's part
# alone). Each figure comes with the machine's load average at its start.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
runs=${RUNS:-3}
hashes=${HASHES:-200000}
bodies=${BODIES:-100000}
files=${FILES:-20000}
only=${ONLY:-}

need=()
for pkg in python3 clamav clamav-daemon clamdscan libclamav-dev time; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || need+=("$pkg")
done
if [ ${#need[@]} -gt 0 ]; then
  SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO=sudo
  $SUDO apt-get update -qq && DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${need[@]}" >/dev/null
fi
scripts/install-deps.sh run
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLET_TESTS=OFF -DQUILLET_UI=OFF >/dev/null
cmake --build build/bench -j2 --target quillet-scan farsend-host farsend >/dev/null
engine=yes
if ! cmake --build build/bench -j2 --target farsend_clamav >/dev/null 2>&1 \
   || [ ! -f build/bench/bin/libfarsend-clamav.so ]; then
  echo "libfarsend-clamav.so did not build: measuring the baselines only"
  engine=no
fi
scan=$root/build/bench/bin/quillet-scan

work=${1:-$(mktemp -d "${TMPDIR:-/tmp}/quillet-clamav-bench.XXXXXX")}
mkdir -p "$work"
work=$(cd "$work" && pwd)
tree=$work/tree db=$work/db out=$work/out
if [ "$files" != 20000 ]; then tree=$work/tree-$files db=$work/db-$files; fi
mkdir -p "$out"
if [ ! -d "$tree" ]; then
  echo "writing $tree"
  python3 bench/make_tree.py "$tree" "$files" $(( files >= 20000 ? 1000 : (files + 19) / 20 ))
fi
if [ ! -f "$db/bench.hdb" ] || [ "$(wc -l < "$db/bench.hdb")" -ne $((hashes + 3)) ] \
   || [ "$(wc -l < "$db/bench.ndb")" -ne $((bodies + 1)) ]; then
  echo "writing $db"
  rm -rf "$db"
  python3 bench/make_signatures.py "$db" "$hashes" "$bodies" "$tree"
fi
mkdir -p "$work/empty"
# A desktop session has its runtime folder on tmpfs, where the engine puts
# libclamav's per-file temporary folders; give a bare shell one too.
runtime=
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
  runtime=/dev/shm/quillet-bench-$$
  mkdir -m 700 "$runtime"
  export XDG_RUNTIME_DIR=$runtime
  trap 'rm -rf "$runtime"' EXIT
fi
echo "runtime folder: $XDG_RUNTIME_DIR"
echo "tree: $(find "$tree" -type f | wc -l) files, $(du -sh "$tree" | cut -f1); database: $hashes hash + $bodies body signatures + 4 that match"

# One measured run: LABEL then the command. Appends "seconds maxrss treesum
# cpuseconds loadavg"
# to $out/LABEL.runs; the command's output goes to $out/LABEL.out/.err.
# CPU ticks the daemon has used so far; a run's CPU counts the daemon's share.
hz=$(getconf CLK_TCK) clamd_pid=
daemon_ticks() {
  if [ -n "$clamd_pid" ]; then awk '{print $14 + $15}' "/proc/$clamd_pid/stat"; else echo 0; fi
}
measure() {
  local label=$1; shift
  local d0; d0=$(daemon_ticks)
  local load; load=$(cut -d' ' -f1 /proc/loadavg)
  /usr/bin/time -f "%e %M %x %U %S" -o "$out/$label.time" "$@" >"$out/$label.out" 2>"$out/$label.err" &
  local tpid=$!
  python3 bench/tree_rss.py "$tpid" >"$out/$label.rss" &
  local spid=$!
  wait "$tpid" || true
  wait "$spid"
  local t m x u s
  read -r t m x u s < <(tail -1 "$out/$label.time")
  # 0 clean, 1 findings; anything else makes the figure meaningless.
  if [ "$x" != 0 ] && [ "$x" != 1 ]; then
    echo "$label failed (exit $x):" >&2
    tail -5 "$out/$label.err" >&2
    exit 1
  fi
  local d1; d1=$(daemon_ticks)
  echo "$t $m $(cut -d' ' -f1 "$out/$label.rss") $(awk "BEGIN {print $u + $s + ($d1 - $d0) / $hz}") $load" >>"$out/$label.runs"
}
rm -f "$out"/*.runs

find "$tree" -type f -print0 | xargs -0 cat >/dev/null   # warm the page cache

# What two cores give libclamav on this machine at best: two clamscans at
# once, each over every other top folder, each loading the database.
halves='
  a=() b=() i=0
  for d in "$1"/*/; do
    if [ $((i % 2)) = 0 ]; then a+=("$d"); else b+=("$d"); fi
    i=$((i + 1))
  done
  clamscan -r -d "$2" "${a[@]}" & pa=$!
  clamscan -r -d "$2" "${b[@]}" & pb=$!
  sa=0 sb=0
  wait $pa || sa=$?
  wait $pb || sb=$?
  [ $sa -le 1 ] && [ $sb -le 1 ] || exit 2
'

# In-process: clamscan and quillet-scan take turns, so load from the two
# other sessions on this machine falls on both alike.
for i in $(seq "$runs"); do
  [ "$only" != clamd ] || break
  measure clamscan-load clamscan -r -d "$db" "$work/empty"
  if [ $engine = yes ]; then
    measure quillet-clamav-load "$scan" --no-cache --engine clamav --database "$db" --all-files "$work/empty"
  fi
  measure clamscan clamscan -r -d "$db" "$tree"
  measure clamscan-halves bash -c "$halves" halves "$tree" "$db"
  if [ $engine = yes ]; then
    measure quillet-clamav "$scan" --no-cache --engine clamav --database "$db" --all-files "$tree"
    measure quillet-clamav-j1 "$scan" --no-cache --jobs 1 --engine clamav --database "$db" --all-files "$tree"
  fi
  # The reference engine: several workers against one, after an unmeasured
  # scan, so that the first of the two does not alone warm what the
  # ClamAV runs before it cooled.
  "$scan" --no-cache --jobs 1 --all-files "$tree" >/dev/null || true
  measure quillet-ref "$scan" --no-cache --all-files "$tree"
  measure quillet-ref-j1 "$scan" --no-cache --jobs 1 --all-files "$tree"
done

# The daemon: a private configuration, its socket in the work folder.
sock=$work/clamd.sock conf=$work/clamd.conf
# start_daemon EXTRA: a daemon on the private configuration plus EXTRA.
start_daemon() {
  rm -f "$sock"
  {
    echo "LocalSocket $sock"
    echo "DatabaseDirectory $db"
    echo "Foreground yes"
    echo "LogSyslog no"
    echo "LogFile $work/clamd.log"
    echo "PidFile $work/clamd.pid"
    [ -z "$1" ] || echo "$1"
  } >"$conf"
  clamd --config-file="$conf" >"$work/clamd.stdout" 2>&1 &
  clamd_pid=$!
  trap 'kill "$clamd_pid" 2>/dev/null || true; [ -z "$runtime" ] || rm -rf "$runtime"' EXIT
  for _ in $(seq 600); do
    clamdscan --config-file="$conf" --ping 1 >/dev/null 2>&1 && return 0
    kill -0 "$clamd_pid" 2>/dev/null || { echo "clamd did not start:"; tail -5 "$work/clamd.stdout"; exit 1; }
    sleep 0.2
  done
}
stop_daemon() {
  kill "$clamd_pid"; wait "$clamd_pid" || true
  clamd_pid=
  trap '[ -z "$runtime" ] || rm -rf "$runtime"' EXIT
}

start_daemon ""
# The daemon remembers the files it found clean: after this first scan
# every measured one finds them all remembered, and measures the cost of
# asking rather than of scanning.
clamdscan --config-file="$conf" --no-summary "$tree" >/dev/null || true
for i in $(seq "$runs"); do
  measure clamdscan clamdscan --config-file="$conf" --no-summary "$tree"
  measure clamdscan-fdpass clamdscan --config-file="$conf" --no-summary --fdpass "$tree"
  measure clamdscan-multi clamdscan --config-file="$conf" --no-summary --multiscan --fdpass "$tree"
  if [ $engine = yes ]; then
    measure quillet-clamd "$scan" --no-cache --engine clamd --clamd "unix:$sock" --all-files "$tree"
    measure quillet-clamd-j1 "$scan" --no-cache --jobs 1 --engine clamd --clamd "unix:$sock" --all-files "$tree"
  fi
done
stop_daemon
# The same daemon with that memory off: every file scanned every time, as
# on a first scan of a tree.
start_daemon "DisableCache yes"
for i in $(seq "$runs"); do
  measure clamdscan-nocache clamdscan --config-file="$conf" --no-summary "$tree"
  measure clamdscan-fdpass-nocache clamdscan --config-file="$conf" --no-summary --fdpass "$tree"
  measure clamdscan-multi-nocache clamdscan --config-file="$conf" --no-summary --multiscan --fdpass "$tree"
  if [ $engine = yes ]; then
    measure quillet-clamd-nocache "$scan" --no-cache --engine clamd --clamd "unix:$sock" --all-files "$tree"
    measure quillet-clamd-j1-nocache "$scan" --no-cache --jobs 1 --engine clamd --clamd "unix:$sock" --all-files "$tree"
  fi
done
stop_daemon

python3 - "$out" "$engine" "$runs" <<'PY'
import os, re, statistics, sys
out, engine, runs = sys.argv[1], sys.argv[2] == "yes", int(sys.argv[3])

def runs_of(label):
    path = os.path.join(out, label + ".runs")
    if not os.path.exists(path):
        return None
    rows = [[float(x) for x in line.split()] for line in open(path)]
    return [statistics.median(col) for col in zip(*rows)], [r[0] for r in rows]

print(f"\n{runs} runs each, medians (2 shared cores: expect noise of several per cent)")
print(f"{'':24} {'wall s':>7}  {'runs':20} {'CPU s':>7}  {'load':>5}  {'max RSS %M':>11} {'tree Pss sum':>13}")
for label in ("clamscan-load", "quillet-clamav-load", "clamscan", "clamscan-halves", "quillet-clamav", "quillet-clamav-j1",
              "quillet-ref", "quillet-ref-j1", "clamdscan", "clamdscan-fdpass", "clamdscan-multi",
              "quillet-clamd", "quillet-clamd-j1", "clamdscan-nocache", "clamdscan-fdpass-nocache",
              "clamdscan-multi-nocache", "quillet-clamd-nocache", "quillet-clamd-j1-nocache"):
    r = runs_of(label)
    if r is None:
        continue
    (t, m, s, c, load), ts = r
    mem = f"{int(m):8d} KiB {int(s):9d} KiB" if "clamd" not in label else ""
    print(f"{label:24} {t:7.2f}  {' '.join('%.2f' % x for x in ts):20} {c:7.2f}  {load:5.2f}  {mem}")

def ratio(a, b, col, goal, what):
    ra, rb = runs_of(a), runs_of(b)
    if ra and rb:
        x = ra[0][col] / rb[0][col]
        verdict = f"(goal <= {goal}x) {'ok' if x <= goal else 'OVER'}" if goal else "(no goal)"
        print(f"{what:52} {x:5.3f}x  {verdict}")

if engine:
    print()
    ratio("quillet-clamav-load", "clamscan-load", 0, None, "wall, loading alone (an empty folder)")
    ratio("quillet-clamav", "clamscan", 0, 1.05, "wall, quillet-scan --engine clamav / clamscan -r")
    ratio("quillet-clamav", "clamscan", 3, None, "CPU (user+sys, host included), clamav / clamscan")
    ratio("quillet-clamav", "clamscan", 1, 1.1, "peak RSS (%M), quillet-scan / clamscan")
    ratio("quillet-clamav", "clamscan", 2, 1.1, "peak Pss summed over process tree")
    ratio("quillet-clamav", "clamscan", 0, 1 / 1.8, "wall, several workers / clamscan (1.8x faster)")
    ratio("clamscan-halves", "clamscan", 0, None, "wall, two clamscans on halves at once / clamscan")
    ratio("quillet-clamav", "clamscan-halves", 0, None, "wall, several workers / two clamscans at once")
    ratio("quillet-clamav", "quillet-clamav-j1", 1, 1.15, "peak RSS (%M), several workers / --jobs 1")
    ratio("quillet-clamav", "quillet-clamav-j1", 2, 1.15, "peak Pss sum, several workers / --jobs 1")
    ratio("quillet-clamav-j1", "clamscan", 0, 1.05, "wall, --jobs 1 / clamscan -r")
    ratio("quillet-clamd", "clamdscan-multi", 0, 1.0, "wall, clamd, several workers / clamdscan --multiscan")
    ratio("quillet-clamd", "clamdscan-fdpass", 0, 1 / 1.8, "wall, clamd, several workers / clamdscan --fdpass")
    ratio("quillet-clamd", "clamdscan", 0, 1.05, "wall, quillet-scan --engine clamd / clamdscan")
    ratio("quillet-clamd", "clamdscan-fdpass", 0, 1.05, "wall, quillet-scan --engine clamd / clamdscan --fdpass")
    ratio("quillet-clamd", "clamdscan", 3, None, "CPU (client, host and daemon), clamd / clamdscan")
    ratio("quillet-clamd", "clamdscan-fdpass", 3, None, "CPU (client, host and daemon), clamd / --fdpass")
    ratio("quillet-clamd-nocache", "clamdscan-nocache", 0, None, "wall, clamd / clamdscan, the daemon's cache off")
    # Files in flight on one session, against clamdscan's own.
    ratio("quillet-clamd-nocache", "clamdscan-multi-nocache", 0, 1.0, "wall, clamd / --multiscan --fdpass, cache off")
    ratio("quillet-clamd-j1", "clamdscan-fdpass", 0, 1.0, "wall, clamd --jobs 1 / clamdscan --fdpass")
    ratio("quillet-clamd-j1-nocache", "clamdscan-fdpass-nocache", 0, 1.0, "wall, clamd --jobs 1 / --fdpass, cache off")
ratio("quillet-ref", "quillet-ref-j1", 0, 1.0, "wall, reference engine, several workers / --jobs 1")

# The same findings: "path: NAME FOUND" lines against quillet-scan's rows.
def found(label):
    res = set()
    for line in open(os.path.join(out, label + ".out"), errors="replace"):
        m = re.match(r"(.*): (\S+) FOUND$", line.rstrip("\n"))
        if m:
            res.add((m.group(1), m.group(2)))
    return res

def rows(label):
    res = set()
    for line in open(os.path.join(out, label + ".out"), errors="replace"):
        f = line.rstrip("\n").split("\t")
        if len(f) == 4:
            res.add((f[1], f[2]))
    return res

print()
pairs = [("clamscan", None), ("clamdscan", None), ("clamdscan-fdpass", None)]
if engine:
    pairs = [("clamscan", "quillet-clamav"), ("clamdscan", "quillet-clamd"),
             ("clamdscan-fdpass", "quillet-clamd")]
# Several workers print exactly the lines one does.
for many, one in (("quillet-ref", "quillet-ref-j1"), ("quillet-clamav", "quillet-clamav-j1"),
                  ("quillet-clamd", "quillet-clamd-j1"), ("quillet-clamd-nocache", "quillet-clamd-j1-nocache")):
    a, b = os.path.join(out, many + ".out"), os.path.join(out, one + ".out")
    if os.path.exists(a) and os.path.exists(b):
        same = open(a, "rb").read() == open(b, "rb").read()
        print(f"output, {many} vs {one}: {'identical' if same else 'DIFFERENT'}")
for base, ours in pairs:
    if not os.path.exists(os.path.join(out, base + ".out")) or \
            (ours and not os.path.exists(os.path.join(out, ours + ".out"))):
        continue
    b = found(base)
    if ours is None:
        print(f"{base}: {len(b)} FOUND lines")
        continue
    q = rows(ours)
    same = "identical" if b == q else "DIFFERENT"
    print(f"findings, {ours} vs {base}: {len(q)} rows vs {len(b)} FOUND lines: {same}")
    for p, n in sorted(b - q)[:5]:
        print(f"  only {base}: {p}  {n}")
    for p, n in sorted(q - b)[:5]:
        print(f"  only {ours}: {p}  {n}")
PY
[ -n "${1:-}" ] || rm -rf "$work"
