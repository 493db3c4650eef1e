#!/usr/bin/env bash
# Record, replay and timedemo on the real program:
#   - the golden replay (tests/replays/golden.krec) runs with --timedemo to its end without a
#     divergence: one line of figures, exit code 0. It guards every rule of the game at once;
#     scripts/record-golden.sh records it again when the game changes on purpose;
#   - bad files (another program's file, a cut one, other pictures) and a diverging replay are
#     refused with one line naming the file, and exit code 1;
#   - a game recorded under Xvfb and ended by SIGTERM is a complete file that --timedemo and
#     --replay (in a window, at 60 frames a second) both play to its end with exit code 0.
# Arguments: <kelto binary> <source directory>.
set -u

kelto="$(realpath "$1")"
source_dir="$(realpath "$2")"
golden="$source_dir/tests/replays/golden.krec"

source "$(dirname "$0")/XvfbSupport.bash"
kelto_sanitizer_settings "$kelto" "$source_dir"
kelto_require_tools Xvfb xdotool

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

work="$(mktemp -d)"
kelto_scratch_home "$work"
xvfb_pid=""
cleanup() {
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2> /dev/null && wait "$xvfb_pid" 2> /dev/null
    rm -rf "$work"
}
trap cleanup EXIT
for picture in background.bmp land.bmp tank.bmp bomb.bmp; do
    cp "$source_dir/assets/$picture" "$work/"
done

# The golden replay.
output="$(cd "$work" && "$kelto" --timedemo "$golden" 2> "$work/err")"
status=$?
[ "$status" -eq 0 ] || fail "the golden replay exited with $status: $(cat "$work/err")"
[ -s "$work/err" ] && fail "the golden replay said on standard error: $(cat "$work/err")"
grep -Eq "^$golden: [0-9]+ frames, [0-9.]+ seconds, [0-9]+ frames per second, state checksum [0-9a-f]{8}$" \
    <<< "$output" || fail "the golden replay printed: $output"
echo "$output"

# Bad files: one line each, exit code 1.
refused() { # <file> <expected line> [directory]
    local errors status
    errors="$(cd "${3:-$work}" && "$kelto" --timedemo "$1" 2>&1 > /dev/null)"
    status=$?
    [ "$status" -eq 1 ] || fail "$1 exited with $status, expected 1"
    [ "$errors" = "$2" ] || fail "$1 said '$errors', expected '$2'"
}
refused "$work/bomb.bmp" "kelto: $work/bomb.bmp: not a Kelto recording"
head -c 100 "$golden" > "$work/cut.krec"
refused "$work/cut.krec" "kelto: $work/cut.krec: truncated at byte 100"
refused "$work/missing.krec" "kelto: $work/missing.krec: no such file"
mkdir "$work/other"
cp "$work"/*.bmp "$work/other/"
printf '\x01' | dd of="$work/other/tank.bmp" bs=1 seek=2000 conv=notrunc 2> /dev/null
refused "$golden" "kelto: $golden: was recorded with another tank.bmp" "$work/other"
# The first block's checksum changed: the replay stops after its first second. The block
# follows the header (33 bytes and 4 a rule), the first match (21) and the winds of the first
# second (9 each): tag, first frame, frames, runs, then 3 bytes a run and the checksum.
cp "$golden" "$work/diverging.krec"
rules="$(od -An -tu1 -j 32 -N 1 "$golden" | tr -d ' ')"
block=$((33 + 4 * rules + 21))
while [ "$(od -An -c -j "$block" -N 1 "$golden" | tr -d ' ')" = "W" ]; do
    block=$((block + 9))
done
runs="$(od -An -tu1 -j $((block + 6)) -N 1 "$golden" | tr -d ' ')"
printf '\xff\xff' | dd of="$work/diverging.krec" bs=1 seek=$((block + 7 + 3 * runs)) conv=notrunc 2> /dev/null
refused "$work/diverging.krec" "kelto: $work/diverging.krec: replay diverges at frame 60"

errors="$("$kelto" --record a.krec --replay b.krec 2>&1 > /dev/null)"
[ $? -eq 2 ] || fail "--record with --replay was not refused with exit code 2: $errors"

# Record under Xvfb, end it with SIGTERM, then time it and replay it in a window.
if kelto_start_xvfb "$work/xvfb.log"; then
    (cd "$work" && exec "$kelto" --windowed --record "$work/played.krec") > "$work/game.log" 2>&1 &
    game_pid=$!
    for _ in $(seq 50); do
        xdotool search --name '^Kelto$' > /dev/null 2>&1 && break
        sleep 0.1
    done
    sleep 1
    xdotool key --delay 100 Left Left Up Up
    kill -TERM "$game_pid"
    wait "$game_pid"
    status=$?
    [ "$status" -eq 0 ] || fail "the recording game ended by SIGTERM exited with $status: $(cat "$work/game.log")"
    output="$(cd "$work" && "$kelto" --timedemo "$work/played.krec" 2>&1)"
    [ $? -eq 0 ] || fail "the game recorded under Xvfb does not replay: $output"
    frames="$(grep -o '[0-9]* frames,' <<< "$output" | grep -o '[0-9]*')"
    [ "${frames:-0}" -ge 10 ] || fail "the recording under Xvfb holds ${frames:-no} frames"
    start="$(date +%s.%N)"
    (cd "$work" && timeout 60 "$kelto" --windowed --replay "$work/played.krec") > "$work/replay.log" 2>&1
    status=$?
    seconds="$(awk -v s="$start" -v e="$(date +%s.%N)" 'BEGIN { printf "%.2f", e - s }')"
    [ "$status" -eq 0 ] || fail "--replay exited with $status: $(cat "$work/replay.log")"
    # At 60 frames a second, not as fast as it can.
    awk -v s="$seconds" -v f="$frames" 'BEGIN { exit !(s >= f / 60 * 0.8) }' ||
        fail "--replay showed $frames frames in $seconds seconds"
else
    fail "Xvfb did not start"
fi

[ "$failures" -eq 0 ] && echo "ok: golden replay, bad files, record, timedemo and replay of the real program"
exit "$failures"
