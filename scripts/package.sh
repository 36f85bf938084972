#!/usr/bin/env bash
# Builds the Debian packages quillet and quillet-engine-clamav into OUTDIR:
# installs what is missing, builds, runs the test step (skipped when
# DEB_BUILD_OPTIONS has "nocheck", as Debian's builders do), then packs.
# Usage: scripts/package.sh OUTDIR
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: scripts/package.sh OUTDIR" >&2; exit 64; }
mkdir -p "$1"
out=$(cd "$1" && pwd)
cd "$(dirname "$0")/.."
scripts/install-deps.sh test
scripts/build.sh release
case " ${DEB_BUILD_OPTIONS:-} " in
  *" nocheck "*) ;;
  *) (cd build/release && ctest --output-on-failure -j2 --timeout 300 -E '^PackageTest$') ;;
esac
work=$(mktemp -d "${TMPDIR:-/tmp}/quillet-cpack.XXXXXX")
trap 'rm -rf "$work"' EXIT
cpack --config build/release/CPackConfig.cmake -B "$work" >/dev/null
mv "$work"/*.deb "$out"/
ls "$out"/quillet*.deb
