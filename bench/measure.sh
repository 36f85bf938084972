# Sourced by limit_bench.sh, fullsize_bench.sh and cache_bench.sh: packages,
# a runtime folder, the work folder with its tree and database, and one
# measured run.

# need_packages PKG...: installs those missing, with apt-get.
need_packages() {
  local need=() pkg
  for pkg in "$@"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || need+=("$pkg")
  done
  if [ ${#need[@]} -gt 0 ]; then
    local sudo=""; [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo apt-get update -qq && DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${need[@]}" >/dev/null
  fi
}

# A desktop session has its runtime folder on tmpfs, where the engine puts
# libclamav's per-file temporary folders; give a bare shell one too. The
# caller removes $bench_runtime when it is set.
bench_runtime=
use_runtime_folder() {
  if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
    bench_runtime=/dev/shm/quillet-bench-$$
    mkdir -m 700 "$bench_runtime"
    export XDG_RUNTIME_DIR=$bench_runtime
  fi
  echo "runtime folder: $XDG_RUNTIME_DIR"
}

# private_home DIR: settings, records and caches of the runs go to DIR,
# so that neither the user's engine.conf nor their history is touched.
private_home() {
  mkdir -p "$1"
  export XDG_CONFIG_HOME=$1/config XDG_DATA_HOME=$1/data XDG_STATE_HOME=$1/state XDG_CACHE_HOME=$1/cache
}

# bench_inputs NAME MIN_MB [--full] (WORKDIR as given): $work on tmpfs when
# it has MIN_MB free, with $tree ($files files), $db ($hashes + $bodies
# signatures; --full: the shape of a full database), $out and $list (the
# tree's files, NUL-separated); a runtime folder and a private home; both
# removed at the end unless WORKDIR was given.
bench_inputs() {
  local name=$1 min_mb=$2 full=${3:-} given=${4:-}
  local base=${TMPDIR:-/tmp}
  [ "$(df -Pm /dev/shm 2>/dev/null | awk 'NR == 2 {print $4}')" -gt "$min_mb" ] 2>/dev/null && base=/dev/shm
  work=${given:-$(mktemp -d "$base/quillet-$name-bench.XXXXXX")}
  mkdir -p "$work"
  work=$(cd "$work" && pwd)
  tree=$work/tree db=$work/db out=$work/out list=$work/list
  use_runtime_folder
  private_home "$work/home"
  bench_keep=$given
  trap '[ -z "$bench_runtime" ] || rm -rf "$bench_runtime"; [ -n "$bench_keep" ] || rm -rf "$work"' EXIT
  mkdir -p "$out" "$work/empty"
  rm -f "$out"/*.runs "$out"/*.lines
  if [ ! -d "$tree" ]; then
    echo "writing $tree"
    python3 bench/make_tree.py "$tree" "$files" 1000
    rm -f "$work/db.made"
  fi
  if [ "$(cat "$work/db.made" 2>/dev/null)" != "$files $hashes $bodies $full" ]; then
    echo "writing $db"
    rm -rf "$db"
    python3 bench/make_signatures.py "$db" "$hashes" "$bodies" "$tree" $full
    echo "$files $hashes $bodies $full" >"$work/db.made"
  fi
  find "$tree" -type f -print0 >"$list"
}

# measure_against_limit ROUND: quillet-scan --jobs N and engine_limit with N
# threads for each N of $counts, the one going first turning about with the
# round, so load from elsewhere falls on both alike.
measure_against_limit() {
  local n
  for n in $counts; do
    if [ $(($1 % 2)) = 1 ]; then
      measure "limit-$n" "$limit" "$db" "$n" "$list"
      measure "quillet-j$n" "$scan" --no-cache --engine clamav --database "$db" --all-files --jobs "$n" "$tree"
    else
      measure "quillet-j$n" "$scan" --no-cache --engine clamav --database "$db" --all-files --jobs "$n" "$tree"
      measure "limit-$n" "$limit" "$db" "$n" "$list"
    fi
  done
}

# measure LABEL COMMAND...: one run. Appends "seconds maxrss treepss cpu"
# to $out/LABEL.runs (wall s, the largest peak RSS of one process in KiB
# as GNU time's %M, the largest Pss summed over the process tree in KiB,
# user+sys s of the command and of every process it started, forked workers
# left to die with their parent included: bench/reap.py); the command's output goes to $out/LABEL.out and .err. Exit
# statuses other than 0 (clean) and 1 (findings) stop the benchmark.
measure() {
  local label=$1; shift
  python3 bench/reap.py "$out/$label.time" "$@" >"$out/$label.out" 2>"$out/$label.err" &
  local tpid=$!
  python3 bench/tree_rss.py "$tpid" >"$out/$label.rss" &
  local spid=$!
  wait "$tpid" || true
  wait "$spid"
  local t m x u s
  read -r t m x u s < <(tail -1 "$out/$label.time")
  if [ "$x" != 0 ] && [ "$x" != 1 ]; then
    echo "$label failed (exit $x):" >&2
    tail -5 "$out/$label.err" >&2
    exit 1
  fi
  echo "$t $m $(cut -d' ' -f1 "$out/$label.rss") $(awk "BEGIN {print $u + $s}")" >>"$out/$label.runs"
  # engine_limit's one line of every run, for the medians of its own times.
  grep '^files ' "$out/$label.out" >>"$out/$label.lines" || true
}

# load_average: the one-minute figure, to print beside each result.
load_average() { cut -d' ' -f1 /proc/loadavg; }
