#!/usr/bin/env bash
# Plays one shot of the real game on a virtual X display: waits until the first tank can have
# landed, holds Space for half a second, and expects a picture on the screen (not a black
# frame) that changes with the shot; then Escape must end the game with exit code 0.
# Arguments: <kelto binary> <source directory>.
set -u

kelto="$(realpath "$1")"
source_dir="$2"

# Under the sanitizers, leave out what SDL's system libraries keep until exit (see
# SystemLeaks.supp), and use SDL's software renderer rather than the software OpenGL driver.
if ldd "$kelto" 2> /dev/null | grep -q libasan; then
    export LSAN_OPTIONS="suppressions=$source_dir/tests/scripts/SystemLeaks.supp:print_suppressions=0${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
    export SDL_RENDER_DRIVER=software SDL_FRAMEBUFFER_ACCELERATION=0
fi

if [ ! -f "$source_dir/assets/land.bmp" ]; then
    echo "SKIP: no pictures in $source_dir/assets (the generator in tools/ makes them)"
    exit 0
fi
for tool in Xvfb xdotool xwd convert compare; do
    if ! command -v "$tool" > /dev/null; then
        echo "FAIL: $tool is needed (scripts/setup.sh installs it)"
        exit 1
    fi
done

work="$(mktemp -d)"
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

# A display number nobody uses: no lock file, no socket. The window test starts at 97, so
# this one tries 96 first and then numbers well above it. Another run may take the same
# number at the same moment; then our server is the one that exits, and the next is tried.
start_xvfb() {
    local display="$1"
    while [ -e "/tmp/.X$display-lock" ] || [ -e "/tmp/.X11-unix/X$display" ]; do
        display=$((display + 1))
    done
    Xvfb ":$display" -screen 0 1280x960x24 -nolisten tcp -noreset > "$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    export DISPLAY=":$display"
    for _ in $(seq 50); do
        kill -0 "$xvfb_pid" 2> /dev/null || break
        xdotool getmouselocation > /dev/null 2>&1 && return 0
        sleep 0.1
    done
    kill "$xvfb_pid" 2> /dev/null && wait "$xvfb_pid" 2> /dev/null
    xvfb_pid=""
    return 1
}
started=""
for first in 96 120 130 140 150; do
    if start_xvfb "$first"; then
        started=1
        break
    fi
done
if [ -z "$started" ]; then
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

(cd "$work" && exec "$kelto") > "$work/game.log" 2>&1 &
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

xdotool key Escape
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
    echo "FAIL: still running 5 s after Escape"
    exit 1
fi
game_pid=""
if [ "$status" -ne 0 ]; then
    echo "FAIL: exit code $status after Escape, expected 0"
    cat "$work/game.log"
    failures=$((failures + 1))
else
    echo "ok: Escape ended the game with exit code 0"
fi
exit "$failures"
