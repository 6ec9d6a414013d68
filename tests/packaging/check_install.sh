#!/bin/sh
# Checks of the program as it installs: check_install.sh <step> <build-dir> <prefix>
#   install   a fresh install of the build tree into the prefix
#   desktop   the desktop entry passes desktop-file-validate, without warnings
#   metainfo  the AppStream metainfo passes appstreamcli, alone and with the tree around it
#   files     the entry's Exec and Icon resolve inside the prefix; icon sizes and the scalable
#             icon; changelog and manual page; no build RUNPATH
#   start     the installed program starts offscreen and is still running a second later
set -u
step=$1
build=$2
prefix=$3
desktop=$prefix/share/applications/org.tavrix.Tavrix.desktop
metainfo=$prefix/share/metainfo/org.tavrix.Tavrix.metainfo.xml

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

need() {
    command -v "$1" >/dev/null 2>&1 || fail "$1 is not installed (Debian package $2)"
}

# Width and height of a PNG, from its IHDR chunk.
png_size() {
    od -An -tu1 -j16 -N8 "$1" | awk '{ printf "%dx%d", $3 * 256 + $4, $7 * 256 + $8 }'
}

case $step in
install)
    rm -rf "$prefix"
    cmake --install "$build" --prefix "$prefix" || fail "cmake --install"
    for file in "$prefix/bin/tavrix" "$desktop" "$metainfo"; do
        [ -f "$file" ] || fail "not installed: $file"
    done
    ;;
desktop)
    need desktop-file-validate desktop-file-utils
    output=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate: $output"
    [ -z "$output" ] || fail "desktop-file-validate reports: $output"
    grep -qx 'Name=Генератор сигналов' "$desktop" || fail "Name is not the application title"
    ;;
metainfo)
    need appstreamcli appstream
    # The project has no web page, so AppStream's url-homepage-missing warning has no true
    # value to answer it: it is lowered to a note where the validator knows that check (older
    # ones do not, and refuse to override it). Every other warning stays fatal; the package's
    # lintian override of the same finding rests on this step.
    homepage=--override=url-homepage-missing=info
    appstreamcli validate --no-net "$homepage" /dev/null 2>&1 | grep -q 'not recognized' &&
        homepage=
    appstreamcli validate --no-net $homepage "$metainfo" || fail "appstreamcli validate"
    appstreamcli validate-tree --no-net $homepage "$prefix" || fail "appstreamcli validate-tree"
    ;;
files)
    exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
    icon=$(sed -n 's/^Icon=//p' "$desktop")
    [ -x "$prefix/bin/$exec_name" ] || fail "Exec=$exec_name is not in $prefix/bin"
    [ "$icon" = "$(basename "$desktop" .desktop)" ] || fail "Icon=$icon is not the application id"
    # On X11 the toolkit names the window's class after the executable.
    wm_class=$(sed -n 's/^StartupWMClass=//p' "$desktop")
    [ "$wm_class" = "$exec_name" ] || fail "StartupWMClass=$wm_class is not $exec_name"
    for size in 16 48; do
        png=$prefix/share/icons/hicolor/${size}x${size}/apps/$icon.png
        [ -f "$png" ] || fail "icon $icon missing at ${size}x${size}"
        [ "$(png_size "$png")" = "${size}x${size}" ] || fail "$png is $(png_size "$png")"
    done
    svg=$prefix/share/icons/hicolor/scalable/apps/$icon.svg
    grep -q '<svg ' "$svg" || fail "no scalable icon $svg"
    for doc in share/doc/tavrix/changelog.gz share/man/man1/tavrix.1.gz; do
        gzip -t "$prefix/$doc" || fail "$doc is not a gzip file"
    done
    launchable=$(sed -n 's:.*<launchable type="desktop-id">\(.*\)</launchable>.*:\1:p' "$metainfo")
    [ "$launchable" = "$(basename "$desktop")" ] || fail "launchable $launchable"
    if readelf -d "$prefix/bin/tavrix" | grep -q 'R.*PATH'; then
        fail "the installed program keeps a run path: $(readelf -d "$prefix/bin/tavrix" | grep PATH)"
    fi
    ;;
start)
    # The program lists the machine's ports but opens none; offscreen it shows its window and
    # waits for the operator. Alive after a second means it started.
    QT_QPA_PLATFORM=offscreen timeout 1 "$prefix/bin/tavrix"
    status=$?
    [ $status -eq 124 ] || fail "the installed program ended with status $status within a second"
    ;;
*)
    fail "unknown step $step"
    ;;
esac
