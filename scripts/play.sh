#!/usr/bin/env bash
# Sets up, builds and starts the game on the bundled pictures. Options go to the game
# (for example --windowed).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh default
cd assets
exec ../build/default/kelto "$@"
