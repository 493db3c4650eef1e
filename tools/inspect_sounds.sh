#!/usr/bin/env bash
# Shows what the game's sounds are like without playing them: sox's level statistics for each
# WAV file and one spectrogram picture per sound (time across, 0 to 11 kHz up).
#
# Usage: tools/inspect_sounds.sh [sounds dir] [output dir]
# Needs sox (apt-get install sox).
set -euo pipefail

sounds="${1:-assets}"
output="${2:-/tmp/kelto-sounds}"
mkdir -p "$output"
printf '%-16s %7s %9s %9s %9s\n' sound seconds "peak dB" "RMS dB" "rough Hz"
for wav in "$sounds"/*.wav; do
    name="$(basename "$wav" .wav)"
    stats="$(sox "$wav" -n stats 2>&1)"
    rough="$(sox "$wav" -n stat 2>&1 | awk '/Rough/ { print $3 }')"
    printf '%-16s %7s %9s %9s %9s\n' "$name" \
        "$(awk '/^Length s/ { print $3 }' <<< "$stats")" \
        "$(awk '/^Pk lev dB/ { print $4 }' <<< "$stats")" \
        "$(awk '/^RMS lev dB/ { print $4 }' <<< "$stats")" "$rough"
    sox "$wav" -n spectrogram -x 400 -y 200 -t "$name" -o "$output/$name.png"
done
echo "spectrograms in $output"
