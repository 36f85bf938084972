#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the normal build,
# the same tests under address and undefined-behaviour sanitizers, and a
# short bounded run of each fuzz target.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh test

scripts/build.sh release
(cd build/release && ctest --output-on-failure -j2 --timeout 300)

scripts/build.sh sanitize
(cd build/sanitize && ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 \
   UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure -j2 --timeout 600)

scripts/build.sh fuzz
scripts/fuzz.sh build/fuzz/bin 20
echo "All tests passed."
