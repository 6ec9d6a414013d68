#!/bin/sh
# The installer in a fresh prefix: installed silently over an older version, which it removes
# first; the installed program run like an operator by the window harness, with none of the
# build's DLLs on Wine's path, so that it runs on what the installer put in place; refused by
# the installer and the uninstaller while it runs; then uninstalled, leaving no file, shortcut
# or key.
#   install_test.sh <setup.exe> <modem-library.so> <out-dir>     (inside a wine-run.sh session)
# The zip made beside <setup.exe> gives the files the installer must put in place.
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
shown() { [ -n "$(xdotool search --onlyvisible --name '^Контроллер управления форсунками Tavrix_v.5$')" ]; }
registered() { "$run" reg query "$key" >/dev/null 2>&1; }
unregistered() { ! registered; }
refused() { ! "$run" "$@" >/dev/null 2>&1; }
state() { # every installed file with its checksum, and the uninstall key's values
    (cd "$installed" && find . -type f -exec md5sum {} + | sort) || true
    "$run" reg query "$key" || true
}

# The older version: the current files with another tavrix.exe, and one file the current list
# lacks, made by the same packaging under an older version number.
older=$out/older
rm -rf "$older"
mkdir -p "$older/current" "$older/stage"
zip=$(cd "$(dirname "$setup")" && pwd)/$(basename "$setup" -setup.exe)-win64.zip
(cd "$older/current" && cmake -E tar xf "$zip")
current=$(echo "$older"/current/*)
cp -R "$current/." "$older/stage"
printf 'older' >>"$older/stage/tavrix.exe"
echo "a file only the older version has" >"$older/stage/old-only.txt"
"$here/../../tools/windows/package.sh" --installer "$older/stage" 0.9.0 "$older/tavrix-0.9.0-setup.exe"

"$run" "$older/tavrix-0.9.0-setup.exe" /S
"$wineserver" -w
check "the older version installed" test -f "$installed/old-only.txt"
"$run" "$setup" /S
"$wineserver" -w
check "installed under Program Files" test -f "$installed/tavrix.exe"
check "over the older version: its files gone, the current ones in place" \
    diff -r -x uninstall.exe "$current" "$installed"
check "the Start-menu entry" test -f "$shortcut"
check "the uninstaller is registered" registered

env -u WINEPATH python3 "$here/window_test.py" \
    --exe "$installed/tavrix.exe" --shim "$shim" --out "$out" ||
    { echo "FAIL  the installed program's window run"; failures=$((failures + 1)); }

# While the program runs: both refuse, in place (_?=) for the uninstaller, whose usual copy of
# itself in the temporary folder would not hand its exit code back. The uninstaller reads _?=
# only unquoted, and Wine quotes an argument holding a space: the folder goes as two words.
# This run also tells which plugins the program loads: exactly those the package holds. Wine
# hands no QT_ variable of this side to a Windows program, so the command interpreter sets them.
plugins=$(cd "$out" && pwd)/plugins.log
(cd "$installed" && exec env -u WINEPATH "$run" cmd /c \
    'set QT_DEBUG_PLUGINS=1&& set QT_FORCE_STDERR_LOGGING=1&& tavrix.exe') >/dev/null 2>"$plugins" &
program=$!
for _ in $(seq 90); do
    shown && break
    sleep 1
done
check "the program's window" shown
loaded=$(sed -n 's|.*"[^"]*/Tavrix/\([^"]*\)" loaded library.*|\1|p' "$plugins" | sort -u)
packaged=$(cd "$installed" && find . -mindepth 2 -type f | sed 's|^\./||' | sort)
check "the plugins it loads are the ones installed: ${loaded:-none}" \
    test -n "$loaded" -a "$loaded" = "$packaged"
before=$(state)
check "the installer refuses while the program runs" refused "$setup" /S
check "the uninstaller refuses while the program runs" \
    refused "$installed/uninstall.exe" /S '_?=C:\Program' 'Files\Tavrix'
check "and both leave everything as it was" test "$before" = "$(state)"
kill "$program" 2>/dev/null || true
wait "$program" 2>/dev/null || true
"$wineserver" -k # the program, which the interpreter started
"$wineserver" -w

"$run" "$installed/uninstall.exe" /S
"$wineserver" -w
check "no file left under Program Files" test ! -e "$installed"
check "no Start-menu entry left" test ! -e "$shortcut"
check "no uninstall key left" unregistered
[ "$failures" = 0 ]
