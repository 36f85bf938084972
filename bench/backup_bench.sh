#!/usr/bin/env bash
# Backup and restore of a 256 MiB file against cp in the same run.
# Usage: bench/backup_bench.sh [WORKDIR]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh run
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLET_TESTS=OFF -DQUILLET_UI=OFF >/dev/null
cmake --build build/bench -j2 --target backup_bench >/dev/null
work=${1:-$(mktemp -d "${TMPDIR:-/tmp}/quillet-backup-bench.XXXXXX")}
mkdir -p "$work"
build/bench/bin/backup_bench "$work" 256
[ -n "${1:-}" ] || rm -rf "$work"
