#!/usr/bin/env bash
# A short soak: 20,000 frames of the whole game on the headless backend with pseudo-random
# play and faults from a fixed seed, then the soak's own checks (exit code, tiles against the
# land picture, tanks on the land, heap growth per shot, no hang). The long one is
# scripts/soak.sh.
#
# Usage: Soak.sh <kelto binary> <source dir>   (the soak program sits beside kelto)
set -euo pipefail

soak="$(dirname "$(realpath "$1")")/soak"
source_dir="$(realpath "$2")"
if [ ! -x "$soak" ]; then
    echo "Soak: no $soak; build the soak target" >&2
    exit 1
fi
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/Scratch.bash"
kelto_scratch_home "$work"
"$soak" --seed 20261207 --frames 20000 --assets "$source_dir/assets" --stall 60
