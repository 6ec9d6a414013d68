#!/bin/sh
# The Windows build's libraries, cross-built once with mingw-w64 and kept outside the clone:
# Qt (Core, Gui, Widgets, Test, the windows and offscreen platform plugins) from Debian's
# qt6-base source package of this machine's release, and GoogleTest from Debian's googletest
# source package. The cache is keyed by both versions and the compiler's, so a new Qt or a new
# compiler builds a new prefix and an unchanged one is reused as it stands.
#   tools/windows/prefix.sh      builds what is missing; prints the prefix on standard output
# TAVRIX_CACHE (default ~/.cache/tavrix) is where it lives; JOBS the build's parallelism.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
toolchain=$(cd "$here/../../cmake" && pwd)/mingw-w64-x86_64.cmake
cache=${TAVRIX_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/tavrix}
jobs=${JOBS:-$(nproc)}

compiler=$(x86_64-w64-mingw32-g++-posix -dumpfullversion)
qt_version=$(dpkg-query -W -f='${Version}' qt6-base-dev)
gtest_version=$(dpkg-query -W -f='${Version}' googletest)
prefix=$cache/windows-qt$qt_version-gtest$gtest_version-mingw$compiler
if [ -e "$prefix/.complete" ]; then
    echo "$prefix"
    exit 0
fi

log() { echo "windows prefix: $*" >&2; }
work=$cache/work
rm -rf "$work" "$prefix"
mkdir -p "$work"
started=$(date +%s)

log "Qt $qt_version for Windows (mingw-w64 $compiler) into $prefix; the first build takes long"
qt_source=$("$here/debian-source.sh" qt6-base "$work/qt")
mkdir -p "$work/qt/build"
cd "$work/qt/build"
# Shared release libraries; the host's own Qt 6 tools (moc, rcc, uic) from /usr; every third
# party library Qt bundles; nothing the program does not use. Debian's repacked source lacks
# the Wacom tablet headers: tablet events are off.
# Fonts: Qt 6.4's DirectWrite font database does not link with Debian 12's mingw-w64 headers,
# so there DirectWrite and Direct2D are off and fonts come through GDI. Qt 6.8's font backend
# on Windows is DirectWrite (GDI behind it for bitmap faces), built only together with Direct2D
# (with Direct2D off its font database does not compile); only the Direct2D platform plugin,
# which the program does not use, stays out (direct2d1_1).
fonts="-feature-direct2d -feature-directwrite3 -no-feature-direct2d1_1"
if dpkg --compare-versions "$qt_version" lt 6.8; then
    fonts="-no-feature-direct2d -no-feature-directwrite3"
fi
"$qt_source/configure" -prefix "$prefix" -release -shared \
    -xplatform win32-g++ -qt-host-path /usr \
    -nomake examples -nomake tests -nomake benchmarks \
    -no-opengl -no-dbus -no-icu -no-glib -no-feature-vulkan \
    -qt-zlib -qt-pcre -qt-libpng -qt-libjpeg -qt-harfbuzz -qt-freetype -qt-doubleconversion \
    -no-feature-network -no-feature-sql -no-feature-xml -no-feature-printsupport \
    -no-feature-concurrent -no-feature-tabletevent $fonts -no-feature-zstd \
    -- -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake >&2
cmake --build . --parallel "$jobs" >&2
cmake --install . >&2

log "GoogleTest $gtest_version for Windows"
gtest_source=$("$here/debian-source.sh" googletest "$work/gtest")
cmake -S "$gtest_source" -B "$work/gtest/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_INSTALL_PREFIX="$prefix" \
    -Dgtest_disable_pthreads=OFF >&2
cmake --build "$work/gtest/build" --parallel "$jobs" >&2
cmake --install "$work/gtest/build" >&2

rm -rf "$work"
echo "built in $(($(date +%s) - started)) s" >"$prefix/.complete"
log "done in $(($(date +%s) - started)) s"
echo "$prefix"
