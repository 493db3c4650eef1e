#!/usr/bin/env bash
# Installs what Kelto needs, where it is missing (Debian):
#     scripts/setup.sh play        building and playing the game, and nothing more
#     scripts/setup.sh [test]      that and everything the tests use (scripts/test.sh)
# A package the game itself needs goes in `play`; one only a test, a check or the browser
# build needs goes in `test`.
set -euo pipefail

# The compiler and build tools, and the libraries the game links.
play=( g++ make cmake pkg-config libsdl2-dev libsdl2-mixer-dev libpng-dev libxxhash-dev )
# The compiler cache that keeps the test run's several builds short; the test and benchmark
# libraries; the display, input and picture tools of the end-to-end tests; the memory checker
# and the fuzzing compiler; the package's checkers; the browser build (Emscripten) and the
# browser that plays it; the relay's library, and openssl, which makes the certificates of the
# tests' wss:// relays.
test=( ccache libgtest-dev libgmock-dev libbenchmark-dev
       xvfb xdotool x11-apps imagemagick
       valgrind clang libclang-rt-14-dev
       dpkg-dev lintian desktop-file-utils appstream
       emscripten nodejs chromium
       libwebsockets-dev openssl )

case "${1:-test}" in
    play) packages=( "${play[@]}" ) ;;
    test) packages=( "${play[@]}" "${test[@]}" ) ;;
    *)
        echo "usage: scripts/setup.sh [play|test]" >&2
        exit 2
        ;;
esac
missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=( "$package" )
    fi
done
# The browser tests fetch their driver with npm. Some Node.js builds bring their own npm, which
# conflicts with Debian's package of it.
if [ "${1:-test}" = test ] && ! command -v npm > /dev/null; then
    missing+=( npm )
fi
if [ "${#missing[@]}" -gt 0 ]; then
    echo "setup: installing ${missing[*]}"
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
