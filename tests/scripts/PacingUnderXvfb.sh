#!/usr/bin/env bash
# Runs the real program on a virtual X display for about three seconds and counts the frames it
# presents after its first second (its own KELTO_STATS report): the frame deadline must hold
# them near 60 per second. A loop that does not wait for the deadline shows hundreds, a halved
# rate 30. A machine busy with other work can only make the game late, so a low count is
# measured once more before it fails; a high one fails at once. The same report names the
# renderer: a virtual display has no graphics card, so the program must have fallen back to
# SDL's software renderer.
# Arguments: <kelto binary> <source directory>.
set -u

source "$(dirname "$0")/XvfbSupport.bash"
kelto="$(realpath "$1")"
source_dir="$2"
kelto_sanitizer_settings "$kelto" "$source_dir"
kelto_require_tools Xvfb xdotool
kelto_scratch_run

lowest=40
highest=72
for picture in background.bmp land.bmp tank.bmp bomb.bmp; do
    cp "$source_dir/assets/$picture" "$work/"
done
# A screen the size of the picture keeps each frame cheap, so that a loop that does not wait
# shows far more frames than 60 even on a busy machine.
if ! KELTO_XVFB_SCREEN=640x480x24 kelto_start_xvfb "$work/xvfb.log"; then
    echo "FAIL: Xvfb did not start"
    cat "$work/xvfb.log"
    exit 1
fi

# Plays for three seconds and prints the frames counted after the first second, a space, and
# the seconds they took; the game's standard error is left in $work/stats.log.
count_frames() {
    (cd "$work" && KELTO_STATS=1 exec "$kelto" --windowed) > /dev/null 2> "$work/stats.log" &
    game_pid=$!
    kelto_wait_for_window > /dev/null
    sleep 3
    xdotool key Escape
    wait "$game_pid"
    game_pid=""
    sed -nE 's/^kelto: [0-9]+ frames presented; ([0-9]+) in ([0-9.]+) s .*/\1 \2/p' "$work/stats.log"
}

for attempt in 1 2; do
    read -r frames seconds <<< "$(count_frames)"
    if [ -z "${frames:-}" ]; then
        echo "FAIL: no frame count from the game"
        cat "$work/stats.log"
        exit 1
    fi
    rate="$(awk -v f="$frames" -v s="$seconds" 'BEGIN { printf "%.1f", f / s }')"
    verdict="$(awk -v r="$rate" -v lo="$lowest" -v hi="$highest" 'BEGIN { print ( r > hi ? "high" : ( r < lo ? "low" : "ok" ) ) }')"
    echo "run $attempt: $frames frames in $seconds s, $rate per second (between $lowest and $highest expected)"
    [ "$verdict" != "low" ] && break
done
failures=0
if [ "$verdict" != "ok" ]; then
    echo "FAIL: the frame rate is $verdict: the frame deadline does not pace the game"
    failures=$((failures + 1))
fi

# Under the sanitizers the software renderer is named in SDL_RENDER_DRIVER; otherwise the
# program must have turned from OpenGL drawn in software, or from no acceleration at all.
renderer="$(sed -n 's/^kelto: renderer //p' "$work/stats.log")"
if [ -n "${SDL_RENDER_DRIVER:-}" ]; then
    expected="software, named in SDL_RENDER_DRIVER"
else
    expected="software, (instead of OpenGL drawn in software|as nothing accelerated is there)"
fi
if [[ "$renderer" =~ ^$expected$ ]]; then
    echo "ok: renderer $renderer"
else
    echo "FAIL: renderer '$renderer', expected '$expected'"
    failures=$((failures + 1))
fi
exit "$failures"
