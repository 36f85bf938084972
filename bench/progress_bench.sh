#!/usr/bin/env bash
# The progress line's cost, as a ratio against a baseline measured in the
# same run: quillet-scan --all-files over 20,000 files in 1,000 folders (page
# cache warm) with standard error on a terminal (a pseudo-terminal whose
# other end is read as a terminal emulator would), against the same scan
# with standard error on /dev/null (no progress line). Runs alternate.
# Usage: bench/progress_bench.sh [WORKDIR]   (needs ~400 MB free there)
# Environment: RUNS (default 5).
set -euo pipefail
cd "$(dirname "$0")/.."
bin=build/release/bin
[ -x "$bin/quillet-scan" ] || scripts/build.sh release >/dev/null
work=${1:-$(mktemp -d /var/tmp/quillet-progress-bench.XXXXXX)}
mkdir -p "$work"
[ -d "$work/tree" ] || python3 bench/make_tree.py "$work/tree" 20000 1000
python3 - "$bin/quillet-scan" "$work" "${RUNS:-5}" <<'PY'
import os, pty, statistics, subprocess, sys, threading, time
scan, work, runs = sys.argv[1], sys.argv[2], int(sys.argv[3])
env = dict(os.environ, XDG_STATE_HOME=os.path.join(work, "state"))
args = [scan, "--no-cache", "--all-files", os.path.join(work, "tree")]

def timed(on_terminal):
    if not on_terminal:
        t0 = time.monotonic()
        subprocess.run(args, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env)
        return time.monotonic() - t0, 0
    master, slave = pty.openpty()
    got = [0]
    def drain():
        while True:
            try:
                data = os.read(master, 65536)
            except OSError:
                return
            if not data:
                return
            got[0] += len(data)
    reader = threading.Thread(target=drain)
    reader.start()
    t0 = time.monotonic()
    subprocess.run(args, stdout=subprocess.DEVNULL, stderr=slave, env=env)
    elapsed = time.monotonic() - t0
    os.close(slave)
    reader.join(5)
    os.close(master)
    return elapsed, got[0]

timed(False)  # warm the page cache
plain, shown, drawn = [], [], 0
for _ in range(runs):
    plain.append(timed(False)[0])
    t, n = timed(True)
    shown.append(t)
    drawn = max(drawn, n)
p, s = statistics.median(plain), statistics.median(shown)
print("20,000 files, %d runs, medians (s): stderr on /dev/null %.3f, on a terminal %.3f (%d bytes of progress)"
      % (runs, p, s, drawn))
print("with the progress line / without: %.3fx   (goal <= 1.02x)" % (s / p))
PY
