#!/usr/bin/env bash
# Installs the Debian packages Quillet needs that this machine lacks.
# Usage: scripts/install-deps.sh [run|test]   (test adds the test tools)
set -euo pipefail

want=(g++ cmake ninja-build pkg-config libwxgtk3.2-dev libglib2.0-dev fonts-noto-cjk libclamav-dev gettext)
if [ "${1:-run}" = test ]; then
  want+=(googletest libgtest-dev clang libclang-rt-14-dev xvfb xauth dbus desktop-file-utils
         clamav clamav-daemon clamdscan clamav-testfiles zip systemd dbus-user-session dunst
         dpkg-dev file fakeroot lintian appstream groff-base man-db faketime locales)
fi

missing=()
for pkg in "${want[@]}"; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
echo "Installing: ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
