#!/usr/bin/env bash
# Runs the game under valgrind's memcheck on the default build, failing on any memory error
# and on any leak:
#   - a few hundred frames of the real entry function on the headless backend (start-up from
#     the bundled pictures, driving, aiming and a shot, then Escape);
#   - a short soak (tools/soak.cpp): pseudo-random play with lost surfaces, refused locks,
#     failing restores, lost input and switches away and back.
#
# Usage: scripts/valgrind.sh [frames] [build directory]
#   (default 600 frames, and 5 times as many for the soak; build/default, built first)
set -euo pipefail
cd "$(dirname "$0")/.."

frames="${1:-600}"
build="${2:-}"
if ! [[ "$frames" =~ ^[0-9]+$ ]] || [ "$frames" -lt 1 ]; then
    echo "usage: scripts/valgrind.sh [frames] [build directory]" >&2
    exit 2
fi
if ! command -v valgrind > /dev/null; then
    echo "valgrind: not installed (apt-get install valgrind)" >&2
    exit 1
fi
if [ -z "$build" ]; then
    cmake --preset default > /dev/null
    cmake --build --preset default -j "$(nproc)" --target kelto_headless soak
    build=build/default
fi
build="$(realpath "$build")"
assets="$(realpath assets)"

memcheck() {
    valgrind --tool=memcheck --error-exitcode=1 --leak-check=full --show-leak-kinds=all \
        --errors-for-leak-kinds=definite,indirect,possible --track-origins=yes "$@"
}

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cp "$assets"/background.bmp "$assets"/land.bmp "$assets"/tank.bmp "$assets"/bomb.bmp "$work/"
(cd "$work" && memcheck "$build/kelto_headless" --frames "$frames")
memcheck "$build/soak" --seed 7 --frames $((frames * 5)) --assets "$assets"
echo "valgrind: the game for $frames frames and the soak for $((frames * 5)), no error and no leak"
