#!/usr/bin/env bash
# An installed Quillet finds its host and engine, wherever it was installed
# to: install into a temporary prefix and scan a samples tree from there.
set -euo pipefail
build=$1
prefix=$(mktemp -d "${TMPDIR:-/tmp}/quillet-install.XXXXXX")
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
for f in bin/quillet-scan bin/quillet-bin bin/quillet-samples bin/quillet-schedule libexec/quillet/farsend-host libexec/quillet/libfarsend.so; do
  [ -e "$prefix/$f" ] || { echo "missing after install: $f"; exit 1; }
done
"$prefix/bin/quillet-samples" "$prefix/tree" >/dev/null
status=0
# Run from elsewhere, with the build tree out of reach.
(cd / && "$prefix/bin/quillet-scan" "$prefix/tree" > "$prefix/out") || status=$?
[ "$status" -eq 1 ] || { echo "quillet-scan exited $status"; cat "$prefix/out"; exit 1; }
grep -q "EICAR-Test-File" "$prefix/out" || { echo "no finding"; exit 1; }
if [ -e "$build/bin/quillet" ]; then
  for f in bin/quillet share/applications/quillet.desktop share/metainfo/com.kestrum.Quillet.metainfo.xml; do
    [ -e "$prefix/$f" ] || { echo "missing after install: $f"; exit 1; }
  done
  # The launcher menu shows the entry and its Backup Bin action only when
  # the file is valid.
  if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$prefix/share/applications/quillet.desktop" || exit 1
  fi
fi
echo "installed Quillet scans with its engine"
