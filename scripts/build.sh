#!/usr/bin/env bash
# Configures and builds one flavour into build/<flavour>.
# Usage: scripts/build.sh [release|sanitize|fuzz]
set -euo pipefail
cd "$(dirname "$0")/.."
flavour=${1:-release}
case "$flavour" in
  release)  args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
  sanitize) args=(-DCMAKE_BUILD_TYPE=Debug -DQUILLET_SANITIZE=ON) ;;
  fuzz)     args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLET_FUZZ=ON -DQUILLET_TESTS=OFF -DQUILLET_UI=OFF
                  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++) ;;
  *) echo "unknown flavour: $flavour" >&2; exit 64 ;;
esac
# /usr, as the packages install: the paths the programs and manual pages
# name are then the packages' (give cmake --install a --prefix for others).
cmake -S . -B "build/$flavour" -G Ninja -DCMAKE_INSTALL_PREFIX=/usr "${args[@]}" >/dev/null
if [ "$flavour" = fuzz ]; then
  cmake --build "build/$flavour" -j2 --target fuzz_all
else
  cmake --build "build/$flavour" -j2
fi
