#!/usr/bin/env bash
# Installs what playing needs (scripts/setup.sh play: no test tools), builds the game alone in
# build/play (a release build, without the tests, benchmarks or tools) and starts it on the
# bundled pictures. Options go to the game (for example --windowed).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh play
cmake -S . -B build/play -DCMAKE_BUILD_TYPE=Release -DKELTO_TESTS=OFF -DKELTO_BENCH=OFF > /dev/null
cmake --build build/play -j "$(nproc)" --target kelto_game
KELTO_DATA="$PWD/assets" exec build/play/kelto "$@"
