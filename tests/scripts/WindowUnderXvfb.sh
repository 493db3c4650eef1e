#!/usr/bin/env bash
# Runs the real program on a virtual X display, full screen and in a window: a window named
# Kelto must appear within a few seconds, and Escape on the title (or, in a match, the pause
# menu's Quit) must end the program with exit code 0;
# so must a request to terminate (SIGTERM) and a closed terminal (SIGHUP), with everything
# released (the sanitizer build's leak check sees to that).
# Arguments: <kelto binary> <source directory>.
set -u

kelto="$(realpath "$1")"
source_dir="$2"

source "$(dirname "$0")/XvfbSupport.bash"
kelto_sanitizer_settings "$kelto" "$source_dir"

kelto_require_tools Xvfb xdotool

work="$(mktemp -d)"
kelto_scratch_home "$work"
xvfb_pid=""
game_pid=""
# Ends a game that is still running, so that a failed run leaves nothing behind.
stop_game() {
    if [ -n "$game_pid" ]; then
        kill "$game_pid" 2> /dev/null
        sleep 0.5
        kill -9 "$game_pid" 2> /dev/null
        wait "$game_pid" 2> /dev/null
        game_pid=""
    fi
}
cleanup() {
    stop_game
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2> /dev/null && wait "$xvfb_pid" 2> /dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# The four pictures: the committed ones, or freshly made by the generator built next to the game.
pictures=( background.bmp land.bmp tank.bmp bomb.bmp )
if [ -f "$source_dir/assets/land.bmp" ]; then
    for picture in "${pictures[@]}"; do cp "$source_dir/assets/$picture" "$work/"; done
elif [ -x "$(dirname "$kelto")/make_assets" ]; then
    "$(dirname "$kelto")/make_assets" "$work" > /dev/null
else
    echo "FAIL: no pictures in $source_dir/assets and no make_assets next to $kelto"
    exit 1
fi

if ! kelto_start_xvfb "$work/xvfb.log"; then
    echo "FAIL: Xvfb did not start"
    cat "$work/xvfb.log"
    exit 1
fi

failures=0

# Starts the game with the given options, waits for its window, presses Escape (or sends the
# signal named by `how`) and expects it to be gone with exit code 0.
run_and_quit() {
    local label="$1" how="$2"
    shift 2
    (cd "$work" && exec "$kelto" "$@") > "$work/game.log" 2>&1 &
    game_pid=$!

    local window=""
    for _ in $(seq 50); do
        window="$(xdotool search --name '^Kelto$' 2> /dev/null | head -n 1)"
        [ -n "$window" ] && break
        kill -0 "$game_pid" 2> /dev/null || break
        sleep 0.1
    done
    if [ -z "$window" ]; then
        echo "FAIL ($label): no window named Kelto within 5 s"
        kill -0 "$game_pid" 2> /dev/null && echo "(the game is running; windows: $(xdotool search --name . 2> /dev/null | tr '\n' ' '))"
        cat "$work/game.log"
        stop_game
        failures=$((failures + 1))
        return
    fi
    # Let the game run a little before it is told to stop, once its window has the keys: on
    # a busy machine the window is found some time before it is shown.
    kelto_wait_for_focus
    sleep 1
    if ! kill -0 "$game_pid" 2> /dev/null; then
        echo "FAIL ($label): the game ended by itself"
        cat "$work/game.log"
        stop_game
        failures=$((failures + 1))
        return
    fi
    if [ "$how" = Escape ]; then
        xdotool key Escape
    elif [ "$how" = "the pause menu" ]; then
        kelto_quit_from_play
    else
        kill -s "$how" "$game_pid"
    fi

    local status=""
    for _ in $(seq 50); do
        if ! kill -0 "$game_pid" 2> /dev/null; then
            wait "$game_pid"
            status=$?
            break
        fi
        sleep 0.1
    done
    if [ -z "$status" ]; then
        echo "FAIL ($label): still running 5 s after $how"
        stop_game
        failures=$((failures + 1))
        return
    fi
    game_pid=""
    if [ "$status" -ne 0 ]; then
        echo "FAIL ($label): exit code $status after $how, expected 0"
        cat "$work/game.log"
        stop_game
        failures=$((failures + 1))
        return
    fi
    echo "ok ($label): window shown, $how ended the game with exit code 0"
}

run_and_quit "full screen" Escape
run_and_quit "windowed" Escape --windowed
run_and_quit "classic" Escape --classic
run_and_quit "in a match" "the pause menu" --windowed --players 1
run_and_quit "terminated" TERM --windowed
run_and_quit "hung up" HUP --windowed

# The display going away under the game (the X server ends) is no request to quit: one line
# on standard error and exit code 1.
(cd "$work" && exec "$kelto" --windowed) > "$work/game.log" 2>&1 &
game_pid=$!
for _ in $(seq 50); do
    xdotool search --name '^Kelto$' > /dev/null 2>&1 && break
    sleep 0.1
done
sleep 1
kill "$xvfb_pid" && wait "$xvfb_pid" 2> /dev/null
xvfb_pid=""
status=""
for _ in $(seq 50); do
    if ! kill -0 "$game_pid" 2> /dev/null; then
        wait "$game_pid"
        status=$?
        break
    fi
    sleep 0.1
done
# A first run also says on standard output where it wrote the settings; that line aside, the
# lost display must be one line.
lines="$(grep -vc "^kelto: wrote the default settings to " "$work/game.log")"
if [ "$status" = 1 ] && [ "$lines" -eq 1 ]; then
    echo "ok (display lost): exit code 1: $(grep -v "^kelto: wrote the default settings to " "$work/game.log")"
    game_pid=""
else
    echo "FAIL (display lost): exit code ${status:-none (still running)}, $lines lines:"
    head -n 20 "$work/game.log"
    stop_game
    failures=$((failures + 1))
fi

exit "$failures"
