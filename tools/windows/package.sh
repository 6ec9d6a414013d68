#!/bin/sh
# The Windows packages of a cross-built tree: the program staged with exactly the DLLs it loads
# (found by walking the import tables from tavrix.exe and the one Qt plugin it loads), then an
# NSIS installer and a zip of the same files for a portable copy.
#   tools/windows/package.sh <build-dir> <qt-prefix>
# writes <build-dir>/tavrix-<version>-setup.exe and <build-dir>/tavrix-<version>-win64.zip, the
# version being the project's.
#   tools/windows/package.sh --installer <staged-dir> <version> <setup.exe>
# makes only the installer, of any staged folder and version (the test's older version).
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)

# installer <staged-dir> <version> <setup.exe> <lists-dir>: the file lists, so that what the
# installer puts in place is exactly what it takes away, and the installer made of them.
installer() {
    (cd "$1" && find . -type f | sed 's|^\./||' | sort) >"$4/files"
    : >"$4/files.nsh"
    : >"$4/unfiles.nsh"
    : >"$4/undirs.nsh"
    for dir in $(cd "$1" && find . -mindepth 1 -type d | sed 's|^\./||' | sort); do
        printf 'CreateDirectory "$INSTDIR\\%s"\n' "$dir" >>"$4/files.nsh"
    done
    while read -r file; do
        windows=$(echo "$file" | tr / '\\')
        printf 'File "/oname=$INSTDIR\\%s" "%s"\n' "$windows" "$1/$file" >>"$4/files.nsh"
        printf 'Delete "$INSTDIR\\%s"\n' "$windows" >>"$4/unfiles.nsh"
    done <"$4/files"
    for dir in $(cd "$1" && find . -mindepth 1 -type d | sed 's|^\./||' | sort -r); do
        printf 'RMDir "$INSTDIR\\%s"\n' "$dir" >>"$4/undirs.nsh"
    done
    makensis -V2 -DVERSION="$2" -DICON="$root/packaging/windows/tavrix.ico" \
        -DLISTS="$4" -DOUTFILE="$3" "$root/packaging/windows/tavrix.nsi"
}

if [ "${1:-}" = --installer ]; then
    setup=$(cd "$(dirname "$4")" && pwd)/$(basename "$4")
    installer "$(cd "$2" && pwd)" "$3" "$setup" "$(dirname "$setup")"
    exit 0
fi

build=$(cd "$1" && pwd)
qt=$2
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ -n "$version" ] || { echo "$build is no configured build tree" >&2; exit 1; }
gcc_dir=/usr/lib/gcc/x86_64-w64-mingw32/$(x86_64-w64-mingw32-gcc-posix -dumpversion)
search="$qt/bin $gcc_dir /usr/x86_64-w64-mingw32/lib"
out=$build/package
stage=$out/tavrix-$version
rm -rf "$out"
mkdir -p "$stage/platforms"

# The one plugin the program loads is its platform's: it forces the classic style, which is
# built into Qt Widgets, so no style plugin is shipped (Qt then never finds one to load). The
# install test reads what the installed program loads and checks that it is exactly this.
cp "$build/app/tavrix.exe" "$stage/"
cp "$qt/plugins/platforms/qwindows.dll" "$stage/platforms/"

# Every DLL a staged file imports that is ours to ship (Qt's and the compiler's runtime); the
# system's own (kernel32, user32 …) are found in none of the folders and stay out.
queue="$stage/tavrix.exe $stage/platforms/qwindows.dll"
while [ -n "$queue" ]; do
    set -- $queue
    file=$1
    shift
    queue="$*"
    for dll in $(x86_64-w64-mingw32-objdump -p "$file" | sed -n 's/^[[:space:]]*DLL Name: //p'); do
        [ -e "$stage/$dll" ] && continue
        for dir in $search; do
            if [ -e "$dir/$dll" ]; then
                cp "$dir/$dll" "$stage/"
                queue="$queue $stage/$dll"
                break
            fi
        done
    done
done

find "$stage" -type f -exec x86_64-w64-mingw32-strip --strip-unneeded {} +

installer "$stage" "$version" "$build/tavrix-$version-setup.exe" "$out"
rm -f "$build/tavrix-$version-win64.zip"
(cd "$out" && cmake -E tar cf "$build/tavrix-$version-win64.zip" --format=zip "tavrix-$version")
echo "$build/tavrix-$version-setup.exe"
echo "$build/tavrix-$version-win64.zip"
