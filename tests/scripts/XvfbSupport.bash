# Shared by the scripts that run the real program: source it, do not run it.

source "$(dirname "${BASH_SOURCE[0]}")/Scratch.bash"

# Under the sanitizers: leaks inside the system libraries SDL opens are not the game's (see
# SystemLeaks.supp), and SDL's software renderer keeps out the software OpenGL driver, whose
# one-time allocations show up as nameless leaks once SDL has unloaded it.
# Arguments: <kelto binary> <source directory>.
kelto_sanitizer_settings() {
    if ldd "$1" 2> /dev/null | grep -q libasan; then
        export LSAN_OPTIONS="suppressions=$2/tests/scripts/SystemLeaks.supp:print_suppressions=0${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
        export SDL_RENDER_DRIVER=software SDL_FRAMEBUFFER_ACCELERATION=0
    fi
}

# Starts Xvfb with a 1280 x 960 screen (or the WIDTHxHEIGHTxDEPTH in KELTO_XVFB_SCREEN) on a
# display number the server picks itself (-displayfd), so that runs side by side never meet on
# one number: a number chosen here could be taken by another run in the moment between the
# check and the start, and our probe would then find the other run's server. Sets DISPLAY and
# xvfb_pid; returns 1 if no server came up within ten seconds. -noreset: otherwise the server
# resets when the readiness probe disconnects, and a game connecting during the reset finds no
# display.
# Arguments: <log file>.
kelto_start_xvfb() {
    local log="$1" number
    number="$(mktemp)"
    Xvfb -displayfd 3 -screen 0 "${KELTO_XVFB_SCREEN:-1280x960x24}" -nolisten tcp -noreset 3> "$number" > "$log" 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 100); do
        kill -0 "$xvfb_pid" 2> /dev/null || break
        if [ -s "$number" ]; then
            export DISPLAY=":$(head -n 1 "$number")"
            if xdotool getmouselocation > /dev/null 2>&1; then
                rm -f "$number"
                return 0
            fi
        fi
        sleep 0.1
    done
    rm -f "$number"
    kill "$xvfb_pid" 2> /dev/null && wait "$xvfb_pid" 2> /dev/null
    xvfb_pid=""
    return 1
}

# Fails the run at once when a tool it needs is missing.
# Arguments: <tool>...
kelto_require_tools() {
    local tool
    for tool in "$@"; do
        if ! command -v "$tool" > /dev/null; then
            echo "FAIL: $tool is needed (scripts/setup.sh installs it)"
            exit 1
        fi
    done
}

# Waits up to the given seconds for a process of this shell to end; sets kelto_exit_status to
# its exit code, or to nothing when it is still running.
# Arguments: <pid> <seconds>.
kelto_wait_exit() {
    local tenths
    kelto_exit_status=""
    for tenths in $(seq $(($2 * 10))); do
        if ! kill -0 "$1" 2> /dev/null; then
            wait "$1"
            kelto_exit_status=$?
            return
        fi
        sleep 0.1
    done
}

# Makes a scratch folder $work for one run, with the run's home in it, and on exit ends the
# game ($game_pid) and the virtual display ($xvfb_pid) if they still run, and removes the folder.
kelto_scratch_run() {
    work="$(mktemp -d)"
    kelto_scratch_home "$work"
    xvfb_pid=""
    game_pid=""
    trap '
        [ -n "$game_pid" ] && kill "$game_pid" 2> /dev/null && wait "$game_pid" 2> /dev/null
        [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2> /dev/null && wait "$xvfb_pid" 2> /dev/null
        rm -rf "$work"' EXIT
}

# Waits up to five seconds for a window of the game to hold the keyboard focus, which it
# takes once it is shown (the renderer may have made it anew by then): a key pressed before
# then goes nowhere. Returns 1 if none did.
kelto_wait_for_focus() {
    for _ in $(seq 50); do
        [ "$(xdotool getwindowfocus getwindowname 2> /dev/null)" = "Kelto" ] && return 0
        sleep 0.1
    done
    return 1
}

# Waits up to five seconds for the game's window; prints its id, or returns 1 when none came.
kelto_wait_for_window() {
    local window
    for _ in $(seq 50); do
        window="$(xdotool search --name '^Kelto$' 2> /dev/null | head -n 1)"
        if [ -n "$window" ]; then
            echo "$window"
            return 0
        fi
        sleep 0.1
    done
    return 1
}

# Ends a game in play from its pause menu: Escape pauses, Up goes round from Resume to the last
# entry, Quit, and Enter chooses it. On the title Escape alone quits.
kelto_quit_from_play() {
    xdotool key --delay 200 Escape Up Return
}
