#!/usr/bin/env bash
# Records the golden replay again: two minutes of play (tools/golden_game.cpp: a script for two
# tanks, the computer for the other two, tanks of 40 health) on the bundled pictures, into
# tests/replays/golden.krec, and a minute of the same on a made land into land.krec, which
# the test command then replays with --timedemo on every build and fails on any divergence. Run it when the game's behaviour changes on purpose (or its
# pictures do), and commit the new recording with that change.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset default > /dev/null
cmake --build --preset default -j "$(nproc)" --target golden_game kelto_game
mkdir -p tests/replays
golden="$(realpath tests/replays)/golden.krec"
(cd assets && ../build/default/golden_game "$golden")
(cd assets && ../build/default/kelto --timedemo "$golden")
echo "record-golden: wrote tests/replays/golden.krec ($(stat -c %s "$golden") bytes)"
# A minute on a made land, replayed alike on the desktop and in the browser.
land="$(realpath tests/replays)/land.krec"
(cd assets && ../build/default/golden_game "$land" --frames 3600 --land ISLANDS-SNOW-3F9A21C0)
(cd assets && ../build/default/kelto --timedemo "$land")
echo "record-golden: wrote tests/replays/land.krec ($(stat -c %s "$land") bytes)"
