#!/usr/bin/env bash
# Sets up, builds the game alone (not the tests or benchmarks) and starts it on the bundled
# pictures. Options go to the game (for example --windowed).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset default > /dev/null
cmake --build --preset default -j "$(nproc)" --target kelto_game
KELTO_DATA="$PWD/assets" exec build/default/kelto "$@"
