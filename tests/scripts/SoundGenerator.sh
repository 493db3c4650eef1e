#!/usr/bin/env bash
# The sound generator is deterministic: two runs write the same bytes, and those are the
# sounds in assets/.
# Arguments: <kelto binary> <source directory>; the generator is built beside the game.
set -u

make_sounds="$(dirname "$(realpath "$1")")/make_sounds"
source_dir="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/Scratch.bash"
kelto_scratch_home "$work"

failures=0
"$make_sounds" "$work/first" > /dev/null && "$make_sounds" "$work/second" > /dev/null || {
    echo "FAIL: $make_sounds did not run"
    exit 1
}
count=0
for sound in "$work"/first/*.wav; do
    name="$(basename "$sound")"
    count=$((count + 1))
    if ! cmp -s "$sound" "$work/second/$name"; then
        echo "FAIL: two runs wrote different $name"
        failures=$((failures + 1))
    elif ! cmp -s "$sound" "$source_dir/assets/$name"; then
        echo "FAIL: assets/$name is not what the generator writes (run make_sounds assets)"
        failures=$((failures + 1))
    fi
done
[ "$count" -ge 10 ] || { echo "FAIL: only $count sounds written"; failures=$((failures + 1)); }
echo "$count sounds, $failures differing"
exit "$failures"
