#!/usr/bin/env bash
# A recording is complete whenever the game ends: the real program records on a virtual X
# display and is ended each way it can be (Quit on the pause menu, SIGTERM, SIGHUP, SIGINT,
# and the display itself killed under it); each time the file must end with its end record and replay to its
# end with --timedemo. Then, in an address space too small for OpenGL done in software, the
# game must still open its window (drawn by SDL's software renderer) and end on Escape with
# nothing on standard error.
# Arguments: <kelto binary> <source directory>.
set -u

kelto="$(realpath "$1")"
source_dir="$(realpath "$2")"

source "$(dirname "$0")/XvfbSupport.bash"
kelto_sanitizer_settings "$kelto" "$source_dir"
kelto_require_tools Xvfb xdotool

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

kelto_scratch_run
mkdir -p "$work/home" "$work/config"
export HOME="$work/home" XDG_CONFIG_HOME="$work/config"
cp "$source_dir"/assets/*.bmp "$work/"
cd "$work" || exit 1

# The file ends with its end record (tag E and the frame count) and plays to its end.
check_recording() { # <label> <file>
    local label="$1" file="$2" tag output frames
    tag="$(tail -c 5 "$file" 2> /dev/null | head -c 1)"
    [ "$tag" = "E" ] || fail "$label: the recording does not end with its end record"
    output="$("$kelto" --timedemo "$file" 2>&1)"
    [ $? -eq 0 ] || fail "$label: the recording does not replay: $output"
    frames="$(grep -o '[0-9]* frames,' <<< "$output" | grep -o '[0-9]*')"
    [ "${frames:-0}" -ge 60 ] || fail "$label: the recording holds ${frames:-no} frames"
    echo "$label: $output"
}

# Starts a recording game on a fresh display, lets it play until its first second is in the
# file (however slow the machine), then ends it by `how`.
record_and_end() { # <how> <expected exit code>
    local how="$1" expected="$2"
    kelto_start_xvfb "$work/xvfb.log" || { fail "$how: Xvfb did not start"; return; }
    perl -e '$SIG{INT} = "DEFAULT"; exec @ARGV' "$kelto" --windowed --mute --record "$work/$how.krec" \
        > "$work/$how.log" 2>&1 &
    game_pid=$!
    if ! window="$(kelto_wait_for_window)"; then
        fail "$how: no window"
    fi
    local size
    for _ in $(seq 300); do
        size="$(stat -c %s "$work/$how.krec" 2> /dev/null || echo 0)"
        # The header (seven rules) and the first match take 82 bytes; the first blocks follow.
        [ "$size" -gt 95 ] && break
        sleep 0.1
    done
    sleep 0.5
    case "$how" in
    escape) kelto_quit_from_play 2> /dev/null ;;
    display-lost) kill -KILL "$xvfb_pid" ;;
    *) kill -"${how^^}" "$game_pid" ;;
    esac
    kelto_wait_exit "$game_pid" 10
    if [ -z "$kelto_exit_status" ]; then
        fail "$how: the game did not end"
        kill -KILL "$game_pid"
    elif [ "$kelto_exit_status" -ne "$expected" ]; then
        fail "$how: exit $kelto_exit_status, expected $expected: $(head -n 3 "$work/$how.log")"
    fi
    game_pid=""
    kill "$xvfb_pid" 2> /dev/null && wait "$xvfb_pid" 2> /dev/null
    xvfb_pid=""
    check_recording "$how" "$work/$how.krec"
}

record_and_end escape 0
record_and_end term 0
record_and_end hup 0
record_and_end int 0
# Xlib ends the program itself when its display goes, with its own line and exit code 1.
record_and_end display-lost 1

# OpenGL done in software needs far more address space than the game: under 400 MB the game
# must not try it (it would crash inside the driver) and draws with SDL's own renderer. The
# sanitizers' shadow memory alone is larger than any such limit: left out under them.
if ldd "$kelto" 2> /dev/null | grep -q libasan; then
    echo "skip  400 MB of address space: a sanitizer build"
elif kelto_start_xvfb "$work/xvfb.log"; then
    (ulimit -v 400000 && exec "$kelto" --windowed --mute) > /dev/null 2> "$work/limited.log" &
    game_pid=$!
    if window="$(kelto_wait_for_window)"; then
        sleep 1
        xdotool key Escape 2> /dev/null
        kelto_wait_exit "$game_pid" 10
        [ "${kelto_exit_status:-x}" = 0 ] && [ ! -s "$work/limited.log" ] ||
            fail "400 MB of address space: exit ${kelto_exit_status:-none}: $(head -n 3 "$work/limited.log")"
    else
        kelto_wait_exit "$game_pid" 5
        fail "400 MB of address space: no window; exit ${kelto_exit_status:-none}: $(head -n 3 "$work/limited.log")"
    fi
    game_pid=""
else
    fail "Xvfb did not start"
fi

[ "$failures" -eq 0 ] && echo "ok: recordings end complete every way the game ends; a small address space draws in software"
exit "$failures"
