#!/bin/sh
# Runs a command on a clean clone of this checkout's HEAD inside a fresh minimal root of another
# Debian release, as root: tools/debian-root.sh <suite> <command>, e.g.
#   tools/debian-root.sh trixie 'WERROR=ON ./test.sh'
# The root is made with debootstrap from the mirrors this machine's apt uses (main, the suite,
# its -updates and its -security), anew on every run; the downloaded packages are kept in
# ~/.cache/tavrix/<suite>/, so later runs fetch only what changed; the root stays there until
# the next run, to be looked into. The Windows build's libraries (tools/windows/prefix.sh, an
# hour to build) live in ~/.cache/tavrix/<suite>-windows/, the root's /root/.cache/tavrix, so
# they outlast the root and the next run of the same release reuses them. /proc, /sys, /dev,
# /dev/pts and /dev/shm are mounted in mount and process namespaces of the run's own, so no
# other process ever sees them: when this script ends, however it ends, the kernel ends every
# process of the run and the mounts vanish with them.
set -eu
[ $# = 2 ] || { echo "usage: $0 <suite> <command>" >&2; exit 2; }
suite=$1
command=$2
src=$(cd "$(dirname "$0")/.." && pwd)
cache=${XDG_CACHE_HOME:-$HOME/.cache}/tavrix/$suite
root=$cache/root
[ "$(id -u)" = 0 ] || { echo "$0: debootstrap, mount and chroot need root" >&2; exit 1; }

# The machine's mirrors, from its own apt configuration (its release's and its security suite's).
. /etc/os-release
mirror_of() {
    apt-get indextargets --format '$(REPO_URI) $(RELEASE)' |
        awk -v suite="$1" '$2 == suite { print $1; exit }'
}
mirror=$(mirror_of "$VERSION_CODENAME")
security=$(mirror_of "$VERSION_CODENAME-security")
[ -n "$mirror" ] && [ -n "$security" ] ||
    { echo "$0: apt names no mirror for $VERSION_CODENAME and its security suite" >&2; exit 1; }

command -v debootstrap >/dev/null || {
    apt-get update -q && DEBIAN_FRONTEND=noninteractive apt-get install -y -q debootstrap
}

mkdir -p "$cache/debs" "$cache/archives" "$cache-windows"
# One run at a time per release: the next one would remove this one's root.
exec 9>"$cache/lock"
flock -n 9 || { echo "$0: waiting for the other run in $root" >&2; flock 9; }
began=$(date +%s)
# Stays on this file system: the last run's mounts went with its namespace.
rm -rf --one-file-system "$root"
debootstrap --variant=minbase --cache-dir="$cache/debs" "$suite" "$root" "$mirror"
cat >"$root/etc/apt/sources.list" <<EOF
deb $mirror $suite main
deb $mirror $suite-updates main
deb $security $suite-security main
EOF
# No service starts inside the root.
printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
chmod +x "$root/usr/sbin/policy-rc.d"
git clone -q "$src" "$root/root/tavrix"
echo "The $suite root is made ($(($(date +%s) - began)) s)."

# unshare ignores SIGTERM and SIGINT while its child runs; killing it kills the namespace's
# first process and with it every other. It dies with this script (pdeathsig).
setpriv --pdeathsig KILL unshare --mount --propagation private --pid --fork --kill-child sh -eu -c '
    root=$1 cache=$2 command=$3
    # The root a mount point of its own: inside it, unshare --propagation (the private /dev
    # of the Wine harness) needs / to be one.
    mount --bind "$root" "$root"
    mount -t proc proc "$root/proc"
    mount -t sysfs sysfs "$root/sys"
    for dir in /dev /dev/pts /dev/shm; do mount --bind "$dir" "$root$dir"; done
    mount --bind "$cache/archives" "$root/var/cache/apt/archives"
    mkdir -p "$root/root/.cache/tavrix"
    mount --bind "$cache-windows" "$root/root/.cache/tavrix"
    chroot "$root" /usr/bin/env -i HOME=/root LANG=C.UTF-8 \
        PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
        sh -c "cd /root/tavrix && $command"
' sh "$root" "$cache" "$command" &
run=$!
trap 'kill -KILL $run 2>/dev/null; exit 143' INT TERM HUP
wait $run
