#!/usr/bin/env bash
# Installs what is missing, builds, writes a fresh samples tree and scans it
# with quillet-scan and the bundled engine.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh run
cmake -S . -B build/run -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLET_TESTS=OFF >/dev/null
cmake --build build/run -j2 --target quillet-scan quillet-samples farsend-host farsend
samples=$(mktemp -d "${TMPDIR:-/tmp}/quillet-samples.XXXXXX")
build/run/bin/quillet-samples "$samples/tree"
echo "Scanning $samples/tree (All files on)"
status=0
build/run/bin/quillet-scan --all-files "$samples/tree" || status=$?
# 1 means findings: that is what the samples are for.
[ "$status" -le 1 ]
