#!/bin/sh
# The Windows packages of a cross-built tree: the program staged with exactly the DLLs it loads
# (found by walking the import tables from tavrix.exe and the two Qt plugins it needs), then an
# NSIS installer and a zip of the same files for a portable copy.
#   tools/windows/package.sh <build-dir> <qt-prefix>
# writes <build-dir>/tavrix-<version>-setup.exe and <build-dir>/tavrix-<version>-win64.zip, the
# version being the project's.
set -eu
build=$(cd "$1" && pwd)
qt=$2
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ -n "$version" ] || { echo "$build is no configured build tree" >&2; exit 1; }
root=$(cd "$(dirname "$0")/../.." && pwd)
gcc_dir=/usr/lib/gcc/x86_64-w64-mingw32/$(x86_64-w64-mingw32-gcc-posix -dumpversion)
search="$qt/bin $gcc_dir /usr/x86_64-w64-mingw32/lib"
out=$build/package
stage=$out/tavrix-$version
rm -rf "$out"
mkdir -p "$stage/platforms" "$stage/styles"

cp "$build/app/tavrix.exe" "$stage/"
cp "$qt/plugins/platforms/qwindows.dll" "$stage/platforms/"
cp "$qt/plugins/styles/qwindowsvistastyle.dll" "$stage/styles/"

# Every DLL a staged file imports that is ours to ship (Qt's and the compiler's runtime); the
# system's own (kernel32, user32 …) are found in none of the folders and stay out.
queue="$stage/tavrix.exe $stage/platforms/qwindows.dll $stage/styles/qwindowsvistastyle.dll"
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

# The installer's file lists: what it puts in place is exactly what it takes away.
(cd "$stage" && find . -type f | sed 's|^\./||' | sort) >"$out/files"
: >"$out/files.nsh"
: >"$out/unfiles.nsh"
for dir in $(cd "$stage" && find . -mindepth 1 -type d | sed 's|^\./||' | sort); do
    printf 'CreateDirectory "$INSTDIR\\%s"\n' "$dir" >>"$out/files.nsh"
done
while read -r file; do
    windows=$(echo "$file" | tr / '\\')
    printf 'File "/oname=$INSTDIR\\%s" "%s"\n' "$windows" "$stage/$file" >>"$out/files.nsh"
    printf 'Delete "$INSTDIR\\%s"\n' "$windows" >>"$out/unfiles.nsh"
done <"$out/files"
for dir in $(cd "$stage" && find . -mindepth 1 -type d | sed 's|^\./||' | sort -r); do
    printf 'RMDir "$INSTDIR\\%s"\n' "$dir" >>"$out/unfiles.nsh"
done

makensis -V2 -DVERSION="$version" -DICON="$root/packaging/windows/tavrix.ico" \
    -DLISTS="$out" -DOUTFILE="$build/tavrix-$version-setup.exe" \
    "$root/packaging/windows/tavrix.nsi"
rm -f "$build/tavrix-$version-win64.zip"
(cd "$out" && cmake -E tar cf "$build/tavrix-$version-win64.zip" --format=zip "tavrix-$version")
echo "$build/tavrix-$version-setup.exe"
echo "$build/tavrix-$version-win64.zip"
