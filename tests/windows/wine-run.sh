#!/bin/sh
# Runs Windows programs under wine64 where no serial device of this machine can be reached.
#
#   wine-run.sh [--port COMn=/dev/pts/N]... PROGRAM.exe [ARGS...]
#   wine-run.sh --session COMMAND [ARGS...]
#
# Wine's device manager probes /dev/ttyS*, /dev/ttyUSB* and /dev/ttyACM* and maps COM1... onto
# them at every server start, and ttyS0 is this machine's console. So every Wine process runs in
# a private mount and PID namespace whose /dev is a fresh tmpfs holding only null, zero, full,
# random, urandom, tty, ptmx, pts and shm, pts a devpts instance of its own (so a test makes its
# pseudo-terminals inside the session). The run is refused when anything else is there. The prefix is a tmpfs in the namespace, made for this run and
# gone with it; Wine's processes end with the namespace (wineserver -k first).
#
# --session runs COMMAND (a harness, ctest) in one namespace and prefix: inside it, this script
# starts each program without paying the prefix's set-up again, and programs started together
# share one server. A program's COM ports are given with --port, through Wine's
# HKLM\Software\Wine\Ports key; before a program starts, every dosdevices/com* link must point
# at one of those, and each of those must be a pseudo-terminal.
#
# WINE_RUN_QT names a cross-built Qt prefix whose bin/ the programs load Qt from (Qt finds its
# plugins beside it; Wine passes no QT_ variable on); the cross compiler's runtime DLLs are on
# the path too.
# WINEDEBUG passes through (default -all).
set -eu
self=$(cd "$(dirname "$0")" && pwd)/$(basename "$0")
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver64 || echo /usr/lib/wine/wineserver64)
export WINEDEBUG="${WINEDEBUG:--all}"

die() {
    echo "wine-run: $*" >&2
    exit 70
}

# Nothing in /dev but the allowed nodes; no descriptor this process holds on a terminal line.
check_isolation() {
    for node in /dev/* /dev/pts/*; do
        case $node in
        /dev/null | /dev/zero | /dev/full | /dev/random | /dev/urandom) want=1 ;;
        /dev/tty | /dev/ptmx | /dev/pts/ptmx) want=5 ;;
        /dev/pts/[0-9]*) want=pty ;;
        /dev/pts | /dev/shm) continue ;;
        *) die "refusing to run: $node is visible" ;;
        esac
        [ -c "$node" ] || die "refusing to run: $node is no device"
        major=$(printf %d "0x$(stat -L -c %t "$node")")
        if [ "$want" = pty ]; then
            [ "$major" -ge 136 ] && [ "$major" -le 143 ] || die "refusing to run: $node is no pty"
        else
            [ "$major" = "$want" ] || die "refusing to run: $node is device $major"
        fi
    done
    [ -z "$(find /dev/shm -type c -o -type b)" ] || die "refusing to run: devices in /dev/shm"
    for fd in /proc/$$/fd/*; do
        case $(readlink "$fd") in
        /dev/tty[A-Z]* | /dev/tty[0-9]* | /dev/console) die "refusing to run: fd $fd is a terminal line" ;;
        esac
    done
}

wine_path() { # a Unix path as Wine's drive Z: sees it
    printf 'Z:%s' "$1" | tr / '\\'
}

if [ -z "${WINE_RUN_SESSION:-}" ] && [ "${1:-}" != --namespace ]; then
    # Outside: enter the namespaces (a user namespace too where not run by root; the process
    # that sets them up is their PID 1), without a controlling terminal, and as a root that file
    # modes bind: Wine keeps no COM port to one opener, so a test refuses a program its pty by
    # the pty's mode, as Windows refuses a port that another program holds.
    user=
    [ "$(id -u)" = 0 ] || user=--map-root-user
    nodac=-dac_override,-dac_read_search
    exec unshare $user --mount --propagation private --pid --fork --kill-child --mount-proc \
        setpriv --inh-caps=$nodac --bounding-set=$nodac setsid "$self" --namespace "$@" </dev/null
fi

if [ "${1:-}" = --namespace ]; then
    shift
    # The new /dev is built aside and bound over the old one.
    staging=$(mktemp -d)
    mount -t tmpfs -o mode=755,nosuid,noexec tmpfs "$staging"
    for node in null zero full random urandom tty; do
        : >"$staging/$node"
        mount --bind "/dev/$node" "$staging/$node"
    done
    mkdir "$staging/pts" "$staging/shm"
    mount -t devpts -o newinstance,ptmxmode=0666,mode=620 devpts "$staging/pts"
    ln -s pts/ptmx "$staging/ptmx"
    mount -t tmpfs -o mode=1777,nosuid,nodev tmpfs "$staging/shm"
    mount --rbind "$staging" /dev
    umount -l "$staging"
    rmdir "$staging"
    check_isolation

    WINEPREFIX=$(mktemp -d)
    mount -t tmpfs -o mode=700 tmpfs "$WINEPREFIX"
    export WINEPREFIX WINE_RUN_SESSION=1
    # The cross compiler's runtime DLLs (libstdc++, libgcc_s, libwinpthread) and Qt's.
    dlls="/usr/lib/gcc/x86_64-w64-mingw32/$(x86_64-w64-mingw32-gcc-posix -dumpversion)"
    dlls="$dlls /usr/x86_64-w64-mingw32/lib"
    [ -z "${WINE_RUN_QT:-}" ] || dlls="$WINE_RUN_QT/bin $dlls"
    WINEPATH=
    for dir in $dlls; do
        WINEPATH="$WINEPATH${WINEPATH:+;}$(wine_path "$dir")"
    done
    export WINEPATH
    # Without .NET and Gecko, quietly; the faces Qt's default fonts ask for, Liberation's.
    started=$(date +%s)
    WINEDLLOVERRIDES="mscoree,mshtml=" WINEDEBUG=-all "$wine" wineboot -i >/dev/null 2>&1 ||
        die "wineboot -i failed"
    fonts=$WINEPREFIX/fonts.reg
    {
        printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
        for face in "MS Sans Serif" "MS Shell Dlg" "MS Shell Dlg 2" Arial; do
            printf '"%s"="Liberation Sans"\r\n' "$face"
        done
        printf '"Courier New"="Liberation Mono"\r\n'
    } >"$fonts"
    WINEDEBUG=-all "$wine" regedit /S "$(wine_path "$fonts")" >/dev/null 2>&1 ||
        die "the font replacements were not taken"
    echo "wine-run: prefix ready in $(($(date +%s) - started)) s" >&2

    status=0
    if [ "${1:-}" = --session ]; then
        shift
        "$@" || status=$?
    else
        "$self" "$@" || status=$?
    fi
    "$wineserver" -k 2>/dev/null || true
    for proc in /proc/[0-9]*; do
        pid=${proc#/proc/}
        [ "$pid" = $$ ] || kill -9 "$pid" 2>/dev/null || true
    done
    umount "$WINEPREFIX" && rmdir "$WINEPREFIX"
    exit $status
fi

# In a session: one program.
ports=
while [ "${1:-}" = --port ]; do
    case $2 in
    COM[1-9]=/dev/pts/[0-9]* | COM[1-9][0-9]=/dev/pts/[0-9]*) ports="$ports $2" ;;
    *) die "--port takes COMn=/dev/pts/N, not $2" ;;
    esac
    shift 2
done
[ $# -gt 0 ] || die "no program given"
check_isolation
if [ "$ports" != "$(cat "$WINEPREFIX/ports" 2>/dev/null)" ]; then
    # The device manager reads the key when the server starts: the key is written, the server
    # left to end (so nothing else may run in the session meanwhile), and a new one maps them.
    reg=$WINEPREFIX/ports.reg
    {
        printf 'REGEDIT4\r\n\r\n[-HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\r\n'
        printf '\r\n[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\r\n'
        for port in $ports; do
            printf '"%s"="%s"\r\n' "${port%%=*}" "${port#*=}"
        done
    } >"$reg"
    WINEDEBUG=-all "$wine" regedit /S "$(wine_path "$reg")" >/dev/null 2>&1 ||
        die "the ports were not taken"
    "$wineserver" -w
    WINEDEBUG=-all "$wine" cmd /c exit >/dev/null 2>&1 || die "Wine did not start"
    # The links of an earlier program's ports that this one was not given go with them.
    for link in "$WINEPREFIX"/dosdevices/com*; do
        case " $ports " in
        *" $(basename "$link" | tr a-z A-Z)="*) ;;
        *) rm -f "$link" ;;
        esac
    done
    echo "$ports" >"$WINEPREFIX/ports"
fi
for link in "$WINEPREFIX"/dosdevices/com*; do
    [ -L "$link" ] || continue
    target=$(readlink "$link")
    name=$(basename "$link" | tr a-z A-Z)
    case " $ports " in
    *" $name=$target "*) ;;
    *) die "refusing to run: $link points at $target, which this run did not give" ;;
    esac
    [ -c "$target" ] || die "refusing to run: $target is no device"
    major=$(printf %d "0x$(stat -L -c %t "$target")")
    [ "$major" -ge 136 ] && [ "$major" -le 143 ] || die "refusing to run: $target is no pty"
done
exec "$wine" "$@"
