#!/usr/bin/env bash
# Plays one shot of the real game on a virtual X display: waits until the first tank can have
# landed, holds Space for half a second, and expects a picture on the screen (not a black
# frame) that changes with the shot; then the pause menu's Quit (Escape in --classic) must
# end the game with exit code 0. The
# default game (with the player's view) and --classic play at the same time, each on its own
# virtual display.
# Arguments: <kelto binary> <source directory>.
set -u

if [ -z "${KELTO_PLAY_MODE:-}" ]; then
    classic_log="$(mktemp)"
    KELTO_PLAY_MODE=classic bash "$0" "$@" > "$classic_log" 2>&1 &
    classic_pid=$!
    KELTO_PLAY_MODE=default bash "$0" "$@" 2>&1 | sed 's/^/(default) /'
    default_status=${PIPESTATUS[0]}
    wait "$classic_pid"
    classic_status=$?
    sed 's/^/(--classic) /' "$classic_log"
    rm -f "$classic_log"
    exit $((default_status + classic_status))
fi
# The default game goes straight into a match with a player at the keyboard; in play Escape
# pauses, and the pause menu's Quit ends it. The designed game ends on Escape.
options=(--players 1)
[ "$KELTO_PLAY_MODE" = classic ] && options=(--classic)

kelto="$(realpath "$1")"
source_dir="$2"

source "$(dirname "$0")/XvfbSupport.bash"
kelto_sanitizer_settings "$kelto" "$source_dir"

if [ ! -f "$source_dir/assets/land.bmp" ]; then
    echo "SKIP: no pictures in $source_dir/assets (the generator in tools/ makes them)"
    exit 0
fi
kelto_require_tools Xvfb xdotool xwd convert compare

work="$(mktemp -d)"
kelto_scratch_home "$work"
xvfb_pid=""
game_pid=""
cleanup() {
    [ -n "$game_pid" ] && kill "$game_pid" 2> /dev/null && wait "$game_pid" 2> /dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2> /dev/null && wait "$xvfb_pid" 2> /dev/null
    if [ -n "${KELTO_KEEP_SCREENSHOTS:-}" ]; then
        cp "$work"/before.png "$work"/after.png "$KELTO_KEEP_SCREENSHOTS"/ 2> /dev/null
    fi
    rm -rf "$work"
}
trap cleanup EXIT

for picture in background.bmp land.bmp tank.bmp bomb.bmp; do
    cp "$source_dir/assets/$picture" "$work/"
done

if ! kelto_start_xvfb "$work/xvfb.log"; then
    echo "FAIL: Xvfb did not start"
    cat "$work/xvfb.log"
    exit 1
fi

screenshot() {
    xwd -root -silent -display "$DISPLAY" | convert xwd:- "png:$1"
}

# The brightest channel anywhere on the screen, 0 for a black frame.
brightest() {
    convert "$1" -format '%[fx:maxima]' info:
}

(cd "$work" && exec "$kelto" "${options[@]}") > "$work/game.log" 2>&1 &
game_pid=$!

window=""
for _ in $(seq 50); do
    window="$(xdotool search --name '^Kelto$' 2> /dev/null | head -n 1)"
    [ -n "$window" ] && break
    kill -0 "$game_pid" 2> /dev/null || break
    sleep 0.1
done
if [ -z "$window" ]; then
    echo "FAIL: no window named Kelto within 5 s"
    cat "$work/game.log"
    exit 1
fi
xdotool windowfocus "$window" 2> /dev/null

# The tanks start on the top edge and fall one pixel per frame: at 60 frames a second even
# a fall through the whole 960-pixel land is over in 16 seconds.
sleep 16
if ! kill -0 "$game_pid" 2> /dev/null; then
    echo "FAIL: the game ended by itself"
    cat "$work/game.log"
    exit 1
fi

screenshot "$work/before.png"
xdotool keydown space
sleep 0.5
xdotool keyup space
# The bomb flies, the crater opens and the camera moves on to the next tank.
sleep 1.5
screenshot "$work/after.png"

failures=0
if [ "$(brightest "$work/before.png")" = "0" ]; then
    echo "FAIL: the screen is black before the shot"
    failures=$((failures + 1))
fi
# The probe points change colour every frame, a few pixels each; a shot changes far more.
changed="$(compare -metric AE "$work/before.png" "$work/after.png" null: 2>&1 | awk '{ printf "%d", $1 }')"
if ! [ "$changed" -gt 200 ] 2> /dev/null; then
    echo "FAIL: the screen did not change with the shot ($changed pixels differ)"
    failures=$((failures + 1))
else
    echo "ok: $changed screen pixels changed with the shot"
fi

if [ "$KELTO_PLAY_MODE" = classic ]; then xdotool key Escape; else kelto_quit_from_play; fi
status=""
for _ in $(seq 50); do
    if ! kill -0 "$game_pid" 2> /dev/null; then
        wait "$game_pid"
        status=$?
        break
    fi
    sleep 0.1
done
if [ -z "$status" ]; then
    echo "FAIL: still running 5 s after the quit"
    exit 1
fi
game_pid=""
if [ "$status" -ne 0 ]; then
    echo "FAIL: exit code $status after the quit, expected 0"
    cat "$work/game.log"
    failures=$((failures + 1))
else
    echo "ok: the quit ended the game with exit code 0"
fi
exit "$failures"
