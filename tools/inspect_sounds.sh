#!/usr/bin/env bash
# Shows what the game's sounds are like without playing them: sox's length, peak and average
# levels and rough frequency for each WAV file.
#
# Usage: tools/inspect_sounds.sh [sounds dir]
# Needs sox (apt-get install sox).
set -euo pipefail

sounds="${1:-assets}"
printf '%-16s %7s %9s %9s %9s\n' sound seconds "peak dB" "RMS dB" "rough Hz"
for wav in "$sounds"/*.wav; do
    name="$(basename "$wav" .wav)"
    stats="$(sox "$wav" -n stats 2>&1)"
    rough="$(sox "$wav" -n stat 2>&1 | awk '/Rough/ { print $3 }')"
    printf '%-16s %7s %9s %9s %9s\n' "$name" \
        "$(awk '/^Length s/ { print $3 }' <<< "$stats")" \
        "$(awk '/^Pk lev dB/ { print $4 }' <<< "$stats")" \
        "$(awk '/^RMS lev dB/ { print $4 }' <<< "$stats")" "$rough"
done
