#!/usr/bin/env bash
# Builds the sanitizer preset (AddressSanitizer, UndefinedBehaviorSanitizer, LeakSanitizer)
# and plays the game for a long time on the headless backend with pseudo-random play and
# injected faults, then checks the tiles, the tanks, the heap growth per shot and a clean
# exit (see tools/soak.cpp). Then plays 10,000 frames on the largest pictures the game takes
# and checks it keeps 60 updates per second. A failing run prints its seed; run it again with
# that seed.
#
# Usage: scripts/soak.sh [seed] [frames]   (default: a random seed, 1,000,000 frames)
set -euo pipefail
cd "$(dirname "$0")/.."

seed="${1:-$(od -An -tu4 -N4 /dev/urandom | tr -d ' ')}"
frames="${2:-1000000}"
if ! [[ "$seed" =~ ^[0-9]+$ ]] || ! [[ "$frames" =~ ^[0-9]+$ ]]; then
    echo "usage: scripts/soak.sh [seed] [frames]" >&2
    exit 2
fi

cmake --preset sanitize > /dev/null
cmake --build --preset sanitize -j "$(nproc)" --target soak
echo "soak: seed $seed, $frames frames"
build/sanitize/soak --seed "$seed" --frames "$frames" --assets assets

# The largest pictures the game takes (a 16384 x 16384 land and background, a tank and a bomb
# as large as the screen) must still keep it at 60 updates per second: timed on the release
# build, since the sanitizers' own cost is no player's.
cmake --preset default > /dev/null
cmake --build --preset default -j "$(nproc)" --target soak
echo "soak: seed $seed, 10000 frames on the largest pictures, at least 60 updates per second"
exec build/default/soak --seed "$seed" --frames 10000 --assets largest --min-rate 60
