#!/usr/bin/env bash
# Runs one window-test program on a private X server.
set -euo pipefail
export GDK_BACKEND=x11 NO_AT_BRIDGE=1
export LSAN_OPTIONS="suppressions=$(cd "$(dirname "$0")/.." && pwd)/tests/ui/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
exec xvfb-run -a -s "-screen 0 1280x1024x24" "$@"
