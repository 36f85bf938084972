#!/usr/bin/env bash
# Builds, tests and packages the committed tree the way Debian's package
# builders do: in a fresh minimal Debian 12 chroot, as root, with no HOME, no
# display, no session bus, no network once the packages are in, and no "/"
# in the mount table. Needs root and Debian's package archive; takes about
# a quarter of an hour on two cores, which is why the test command does not
# run it.
# Usage: scripts/chroot-check.sh [WORKDIR]   (default: a new folder in /var/tmp)
set -euo pipefail
[ "$(id -u)" -eq 0 ] || { echo "chroot-check: needs root (debootstrap, chroot, mounts)" >&2; exit 77; }
work=${1:-$(mktemp -d /var/tmp/quillet-chroot.XXXXXX)}
mkdir -p "$work"
work=$(cd "$work" && pwd)
cd "$(dirname "$0")/.."
command -v debootstrap >/dev/null || {
  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends debootstrap
}
root=$work/root
mirror=${QUILLET_MIRROR:-http://deb.debian.org/debian}
start=$(date +%s)
stamp() { echo "chroot-check: $1 after $(( $(date +%s) - start )) s"; }

if [ ! -x "$root/bin/bash" ]; then
  debootstrap --variant=minbase bookworm "$root" "$mirror" >"$work/debootstrap.log" 2>&1 ||
    { tail -20 "$work/debootstrap.log"; exit 1; }
  stamp "debootstrap"
fi
# The same archive suites as this machine, so the same library versions,
# when this machine is Debian 12 too.
if [ -f /etc/apt/sources.list.d/debian.sources ] && grep -qx 'VERSION_CODENAME=bookworm' /etc/os-release; then
  cp /etc/apt/sources.list.d/debian.sources "$root/etc/apt/sources.list.d/"
  rm -f "$root/etc/apt/sources.list"
fi
cp /etc/resolv.conf "$root/etc/resolv.conf"
# The tree and its build sit under /root, which only root may enter, as a
# package builder's or a root user's checkout does: tests that run a child as
# another user must not depend on reaching the build folder.
rm -rf "$root/src" "$root/root/quillet" && mkdir -p "$root/root/quillet" "$root/src/out"
chmod 0700 "$root/root"
git archive HEAD | tar -x -C "$root/root/quillet"

# What a builder mounts, in a mount namespace of its own so nothing stays.
# NET is "--net" for a namespace with only loopback (brought up, as
# builders do).
inside() {
  local net=$1
  shift
  unshare --mount --propagation private $net bash -c '
    root=$0
    [ -z "$NET" ] || ip link set lo up
    mount -t proc proc "$root/proc"
    mount -t sysfs sysfs "$root/sys"
    mount --rbind /dev "$root/dev"
    mount -t tmpfs tmpfs "$root/tmp"
    exec chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 "$@"' "$root" "$@"
}
inside "" /bin/bash -c 'cd /root/quillet && scripts/install-deps.sh test' >"$work/deps.log" 2>&1 ||
  { tail -20 "$work/deps.log"; exit 1; }
stamp "packages installed"
# From here on: no network.
export NET=1
inside --net /bin/bash -c 'cd /root/quillet && scripts/test.sh' >"$work/test.log" 2>&1 ||
  { tail -40 "$work/test.log"; echo "chroot-check: the test command failed (log: $work/test.log)"; exit 1; }
stamp "test command passed"
inside --net /bin/bash -c 'cd /root/quillet && DEB_BUILD_OPTIONS=nocheck scripts/package.sh /src/out' \
  >"$work/package.log" 2>&1 || { tail -20 "$work/package.log"; exit 1; }
cp "$root"/src/out/*.deb "$work/"
stamp "packages built: $(cd "$work" && echo *.deb)"
