#!/usr/bin/env bash
# The Debian packages of this build: they pass Debian's checkers, carry the
# version record's number, install into a fresh root, scan and repair from
# there, and leave nothing behind but the user's own data when purged.
set -euo pipefail
build=$1
version=$2
for tool in cpack dpkg dpkg-deb dpkg-shlibdeps file lintian desktop-file-validate appstreamcli; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed (scripts/install-deps.sh test)"; exit 77; }
done
# dpkg installs only as root; an ordinary user's run pretends with fakeroot.
asroot=()
if [ "$(id -u)" -ne 0 ]; then
  command -v fakeroot >/dev/null || { echo "SKIP: not root and no fakeroot"; exit 77; }
  asroot=(fakeroot)
fi
tmp=$(mktemp -d "${TMPDIR:-/tmp}/quillet-package.XXXXXX")
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

cpack --config "$build/CPackConfig.cmake" -B "$tmp/pkg" >"$tmp/cpack" 2>&1 || { cat "$tmp/cpack"; fail "cpack"; }
arch=$(dpkg --print-architecture)
main=$tmp/pkg/quillet_${version}_${arch}.deb
clam=$tmp/pkg/quillet-engine-clamav_${version}_${arch}.deb
[ -f "$main" ] && [ -f "$clam" ] || { ls "$tmp/pkg"; fail "packages not named for version $version"; }

# No error and no warning; informational tags are listed but allowed.
status=0
lintian --fail-on error,warning "$main" "$clam" >"$tmp/lintian" 2>&1 || status=$?
grep -v "running with root privileges" "$tmp/lintian" || true
[ "$status" -eq 0 ] || fail "lintian"

dpkg-deb -f "$clam" Depends | grep -q "quillet (= $version)" || fail "engine package does not depend on this quillet"
dpkg-deb -f "$clam" Depends | grep -q "libclamav" || fail "engine package does not depend on libclamav"
[ "$(dpkg-deb -f "$clam" Recommends)" = clamav-freshclam ] || fail "Recommends"

# A fresh root with an empty package database.
root=$tmp/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$root/home/ann"
touch "$root/var/lib/dpkg/status"
dpkgr=("${asroot[@]}" dpkg --root="$root" --log=/dev/null --force-depends --force-not-root)
# Only the packages are in this root, not the libraries they depend on.
PATH=$PATH:/usr/sbin:/sbin "${dpkgr[@]}" -i "$main" "$clam" >"$tmp/dpkg" 2>&1 || { cat "$tmp/dpkg"; fail "dpkg -i"; }

# The installed metadata passes its validators and names one version.
desktop-file-validate "$root/usr/share/applications/quillet.desktop" || fail "desktop entry"
grep -qx 'Exec=quillet %F' "$root/usr/share/applications/quillet.desktop" || fail "desktop entry takes no paths"
# "Scan with Quillet": Dolphin reads only an executable service menu (a KDE
# "Service", which desktop-file-validate does not know); every menu hands
# the paths over as words of their own (Nemo as quoted URIs).
menu=$root/usr/share/kio/servicemenus/quillet-scan.desktop
[ -f "$menu" ] && [ -x "$menu" ] || fail "Dolphin service menu missing or not executable"
grep -qx 'Exec=quillet %F' "$menu" || fail "Dolphin service menu"
action=$root/usr/share/nemo/actions/quillet-scan.nemo_action
grep -qx 'Exec=quillet %U' "$action" && grep -qx 'Quote=double' "$action" || fail "Nemo action"
grep -q '<command>quillet %F</command>' "$root/usr/share/doc/quillet/examples/thunar-uca.xml" || fail "Thunar example"
appstreamcli validate --no-net "$root/usr/share/metainfo/com.kestrum.Quillet.metainfo.xml" >/dev/null ||
  fail "metainfo"
grep -q "<release version=\"$version\"" "$root/usr/share/metainfo/com.kestrum.Quillet.metainfo.xml" ||
  fail "metainfo release is not $version"
for prog in quillet quillet-scan quillet-bin quillet-schedule; do
  [ "$("$root/usr/bin/$prog" --version)" = "$prog $version" ] || fail "$prog --version is not $version"
done

# From the installed root: samples, a scan that repairs, the backups listed.
export HOME=$root/home/ann
unset TMPDIR XDG_STATE_HOME XDG_CONFIG_HOME
"$root/usr/bin/quillet-samples" "$HOME/tree" >/dev/null
status=0
(cd / && "$root/usr/bin/quillet-scan" --repair "$HOME/tree" >"$tmp/scan") || status=$?
[ "$status" -eq 1 ] || { cat "$tmp/scan"; fail "quillet-scan exited $status"; }
grep -q "EICAR-Test-File" "$tmp/scan" || fail "no finding"
repaired=$(cut -f4 "$tmp/scan" | grep -cx Repaired) || true
[ "$repaired" -gt 0 ] || { cat "$tmp/scan"; fail "nothing repaired"; }
"$root/usr/bin/quillet-bin" list >"$tmp/bin" || fail "quillet-bin list"
[ "$(grep -c . "$tmp/bin")" -ge "$repaired" ] || { cat "$tmp/bin"; fail "backups not listed"; }
# The ClamAV engine loads from its package: an empty database is named.
mkdir "$tmp/nodb"
status=0
"$root/usr/bin/quillet-scan" --engine clamav --database "$tmp/nodb" "$HOME/tree" >/dev/null 2>"$tmp/err" || status=$?
[ "$status" -eq 2 ] && grep -q "clamav-freshclam" "$tmp/err" || { cat "$tmp/err"; fail "clamav engine ($status)"; }

# Purged, nothing is left but the package database and the user's files.
PATH=$PATH:/usr/sbin:/sbin "${dpkgr[@]}" --purge quillet-engine-clamav quillet >"$tmp/dpkg" 2>&1 || { cat "$tmp/dpkg"; fail "dpkg --purge"; }
left=$(cd "$root" && find . -path ./var/lib/dpkg -prune -o -path ./home -prune -o ! -type d -print)
[ -z "$left" ] || { echo "$left"; fail "left behind after purge"; }
[ -d "$HOME/tree" ] && [ -d "$HOME/.local/state/Palisar" ] || fail "the user's data went with the package"
echo "packages pass lintian, install, scan, repair and purge cleanly"
