#!/usr/bin/env bash
# Runs every fuzz target for a bounded time each. Usage: fuzz.sh BINDIR SECONDS
set -euo pipefail
bindir=$1
seconds=${2:-20}
status=0
for target in "$bindir"/fuzz_*; do
  [ -x "$target" ] || continue
  corpus=$(mktemp -d)
  echo "fuzzing $(basename "$target") for ${seconds}s"
  if ! "$target" -max_total_time="$seconds" -rss_limit_mb=2048 -print_final_stats=0 "$corpus" \
        > "$corpus.log" 2>&1; then
    tail -40 "$corpus.log"
    status=1
  fi
  rm -rf "$corpus" "$corpus.log"
done
exit $status
