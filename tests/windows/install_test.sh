#!/bin/sh
# The installer in a fresh prefix: installed silently; the installed program run like an
# operator by the window harness, with none of the build's DLLs on Wine's path, so that it runs
# on what the installer put in place; then uninstalled, leaving no file, shortcut or key.
#   install_test.sh <setup.exe> <modem-library.so> <out-dir>     (inside a wine-run.sh session)
set -eu
setup=$1
shim=$2
out=$3
here=$(cd "$(dirname "$0")" && pwd)
run=$here/wine-run.sh
wineserver=$(command -v wineserver64 || echo /usr/lib/wine/wineserver64)
installed="$WINEPREFIX/drive_c/Program Files/Tavrix"
shortcut="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Генератор сигналов.lnk"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tavrix'
failures=0

check() { # check <what> <command...>
    what=$1
    shift
    if "$@"; then
        echo "ok    $what"
    else
        echo "FAIL  $what"
        failures=$((failures + 1))
    fi
}
registered() { "$run" reg query "$key" >/dev/null 2>&1; }
unregistered() { ! registered; }

"$run" "$setup" /S
"$wineserver" -w
check "installed under Program Files" test -f "$installed/tavrix.exe"
check "the Start-menu entry" test -f "$shortcut"
check "the uninstaller is registered" registered

env -u WINEPATH -u QT_PLUGIN_PATH python3 "$here/window_test.py" \
    --exe "$installed/tavrix.exe" --shim "$shim" --out "$out" ||
    { echo "FAIL  the installed program's window run"; failures=$((failures + 1)); }

"$run" "$installed/uninstall.exe" /S
"$wineserver" -w
check "no file left under Program Files" test ! -e "$installed"
check "no Start-menu entry left" test ! -e "$shortcut"
check "no uninstall key left" unregistered
[ "$failures" = 0 ]
