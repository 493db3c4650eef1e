#!/usr/bin/env bash
# Installs what building, playing and testing Kelto need, where it is missing (Debian).
set -euo pipefail

packages=( cmake make g++ pkg-config libsdl2-dev libsdl2-mixer-dev libgtest-dev libgmock-dev libbenchmark-dev
           xvfb xdotool x11-apps imagemagick valgrind clang libclang-rt-14-dev
           libpng-dev dpkg-dev lintian desktop-file-utils appstream
           emscripten nodejs chromium libxxhash-dev libwebsockets-dev )
missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=( "$package" )
    fi
done
# Some Node.js builds bring their own npm, which conflicts with Debian's package of it.
command -v npm > /dev/null || missing+=( npm )
if [ "${#missing[@]}" -gt 0 ]; then
    echo "setup: installing ${missing[*]}"
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
