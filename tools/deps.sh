#!/bin/sh
# The Debian packages the build, the tests and the game need; installs the missing ones.
# Usage: tools/deps.sh [extra-package ...]
# libx11-dev: the window stand-in asks X directly whether its window was destroyed by another
# client (SDL's package brings it today, but the program links it itself).
# libcurl4-openssl-dev carries the web streams; python3, python3-pyftpdlib and openssl run the
# web tests' loopback servers and make their certificate.
# libsndfile1-dev is for the sound tests and benchmarks only: the independent IMA ADPCM codec.
# libinih-dev is for the benchmarks only: the INI loading benchmark compares against it.
# locales is for the sound tests: a comma-decimal locale is built from its sources (localedef).
# libegl-dev, libopengl-dev and libgl1-mesa-dri are for the benchmarks only: the rasteriser is
# measured against Mesa's llvmpipe.
set -e

# One package per line.
CORVEL_PACKAGES="
cmake
ninja-build
g++
make
pkg-config
libgtest-dev
libgmock-dev
libbenchmark-dev
libsdl2-dev
libx11-dev
zlib1g-dev
libpng-dev
libjpeg62-turbo-dev
libfreetype-dev
libfontconfig-dev
fonts-liberation
xvfb
x11-apps
libssl-dev
libcrypto++-dev
libgmp-dev
libinih-dev
clang
libclang-rt-14-dev
libfuzzer-14-dev
libegl-dev
libopengl-dev
libgl1-mesa-dri
libegl-mesa0
libcurl4-openssl-dev
python3
python3-pyftpdlib
openssl
libsndfile1-dev
locales
libfluidsynth-dev
timgm6mb-soundfont
"

missing=""
for p in $CORVEL_PACKAGES "$@"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed"; then
        missing="$missing $p"
    fi
done

[ -z "$missing" ] && exit 0

echo "corvel: installing missing packages:$missing"
if [ "$(id -u)" -eq 0 ]; then
    SUDO=""
elif command -v sudo >/dev/null 2>&1; then
    SUDO="sudo"
else
    echo "corvel: run as root, or install these packages first:$missing" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends $missing
