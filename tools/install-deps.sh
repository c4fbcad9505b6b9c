#!/bin/sh
# Installs, as root on Debian 12, whatever the build and the tests lack:
# the mingw-w64 i686 cross compiler, Wine with its 32-bit part, CMake, Ninja,
# GoogleTest's sources, a JDK, JUnit 5 and clang-format. Does nothing when
# all is there.
set -eu

PACKAGES="g++-mingw-w64-i686-posix wine wine32:i386 cmake ninja-build googletest
openjdk-17-jdk-headless junit5 clang-format git"

missing=""
for package in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $package"
    fi
done
[ -z "$missing" ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps: missing packages:$missing; run as root to install them" >&2
    exit 1
fi

echo "install-deps: installing$missing"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
# shellcheck disable=SC2086
apt-get install -y -qq $missing >/dev/null
