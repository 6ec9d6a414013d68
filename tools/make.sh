#!/bin/sh
# Runs make on the project's Makefile, installing make first when the machine lacks it (a fresh
# Debian has no make). Used by ./run.sh and ./test.sh: tools/make.sh <target>...
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
if ! command -v make >/dev/null 2>&1; then
    if [ "$(id -u)" = 0 ]; then
        sudo=
    elif command -v sudo >/dev/null 2>&1; then
        sudo=sudo
    else
        echo "make is not installed and neither is sudo: run this as root once." >&2
        exit 1
    fi
    echo "Installing: make"
    $sudo apt-get update -q
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q make
fi
cd "$root"
exec make "$@"
