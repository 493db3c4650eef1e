#!/usr/bin/env bash
# Runs the real program on a virtual 1280 x 960 X display with HOME in a scratch folder: the
# settings file is written with its defaults where none was; a line it cannot understand is
# named (file and line) and the game starts all the same; Alt+Enter and F11 switch between
# full screen and the window and back; F12 writes a 640 x 480 PNG into ~/Pictures, prints its
# path, and its pixels are those on the screen (the tanks' probe pixels, four of them, change
# colour every frame and may differ).
# Arguments: <kelto binary> <source directory>.
set -u

kelto="$(realpath "$1")"
source_dir="$2"

source "$(dirname "$0")/XvfbSupport.bash"
kelto_sanitizer_settings "$kelto" "$source_dir"
kelto_require_tools Xvfb xdotool import compare

work="$(mktemp -d)"
xvfb_pid=""
game_pid=""
cleanup() {
    if [ -n "$game_pid" ]; then kill "$game_pid" 2> /dev/null; sleep 0.5; kill -9 "$game_pid" 2> /dev/null; fi
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2> /dev/null && wait "$xvfb_pid" 2> /dev/null
    rm -rf "$work"
}
trap cleanup EXIT

cp "$source_dir"/assets/{background,land,tank,bomb}.bmp "$work/"
# Without the XDG folders, so that the game finds its settings and pictures through HOME.
kelto_scratch_home "$work"
unset XDG_CONFIG_HOME XDG_PICTURES_DIR

if ! kelto_start_xvfb "$work/xvfb.log"; then
    echo "FAIL: Xvfb did not start"
    exit 1
fi

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# Starts the game with the given options and waits for its window (sets game_pid and window).
# The renderer may make the window anew while it starts, so the one that stays is taken.
start_game() {
    (cd "$work" && exec "$kelto" "$@") > "$work/out.log" 2> "$work/err.log" &
    game_pid=$!
    window=""
    local seen=""
    for _ in $(seq 20); do
        seen="$(xdotool search --name '^Kelto$' 2> /dev/null | tail -n 1)"
        [ -n "$seen" ] && [ "$seen" = "$window" ] && return 0
        window="$seen"
        sleep 0.5
    done
    fail "no window named Kelto that stayed within 10 s"
    cat "$work/err.log"
    exit 1
}

# On the title Escape quits; in play the pause menu's Quit does (`play` as the argument).
quit_game() {
    if [ "${1:-}" = play ]; then kelto_quit_from_play; else xdotool key Escape; fi
    kelto_wait_exit "$game_pid" 5
    [ -n "$kelto_exit_status" ] && game_pid=""
    [ "$kelto_exit_status" = "0" ] || fail "exit code '$kelto_exit_status' 5 s after Escape, expected 0"
}

size() { xdotool getwindowgeometry "$window" | sed -n 's/.*Geometry: //p'; }

# Waits up to 3 s for the window to take the given size.
expect_size() {
    for _ in $(seq 30); do
        [ "$(size)" = "$2" ] && { echo "ok: $1: $2"; return; }
        sleep 0.1
    done
    fail "$1: the window is $(size), expected $2"
}

# 1. No settings yet: the defaults are written, with a comment above each setting.
start_game
sleep 1
quit_game
settings="$HOME/.config/kelto/settings.ini"
if [ ! -f "$settings" ]; then
    fail "no settings file written at $settings"
elif ! grep -q '^scale = smooth$' "$settings" || ! grep -q '^key_fire = Space$' "$settings"; then
    fail "the settings file lacks its defaults"; cat "$settings"
else
    echo "ok: the defaults were written to ~/.config/kelto/settings.ini"
fi

# 2. A settings file of our own with a line it cannot understand; a match in play (the
# computer's match behind the title never stands still for the screenshot).
printf 'scale = integer\nkey_fire = Space, Nonsense\n' > "$work/custom.ini"
start_game --settings "$work/custom.ini" --players 4
if grep -q "custom.ini:2:" "$work/err.log" && [ "$(grep -c . "$work/err.log")" -eq 1 ]; then
    echo "ok: the bad line was named once"
else
    fail "expected one warning naming custom.ini:2"; cat "$work/err.log"
fi

expect_size "full screen" 1280x960
xdotool key alt+Return
expect_size "Alt+Enter to the window" 640x480
xdotool key alt+Return
expect_size "Alt+Enter back to full screen" 1280x960
xdotool key F11
expect_size "F11 to the window" 640x480
xdotool key F11
expect_size "F11 back to full screen" 1280x960

# The tanks fall for a while after the start; once they stand still, the screenshot and the
# screen agree but for the probe pixels.
differing=""
for attempt in $(seq 15); do
    sleep 1
    before="$(grep -c . "$work/out.log")"
    xdotool key F12
    sleep 0.3
    import -window root "$work/screen.png"
    shot="$(sed -n "$((before + 1))p" "$work/out.log")"
    if [ -z "$shot" ] || [ ! -f "$shot" ]; then
        fail "F12 printed no picture path (printed: '$shot')"
        break
    fi
    case "$shot" in
        "$HOME/Pictures/kelto-"[0-9]*-[0-9]*.png) ;;
        *) fail "the screenshot $shot is not named kelto-YYYYMMDD-HHMMSS.png in ~/Pictures" ;;
    esac
    if [ "$(identify -format '%wx%h' "$shot")" != "640x480" ]; then
        fail "the screenshot is $(identify -format '%wx%h' "$shot"), not 640x480"
        break
    fi
    convert "$work/screen.png" -sample 50% "$work/screen-half.png"
    differing="$(compare -metric AE "$shot" "$work/screen-half.png" null: 2>&1)"
    [ "$differing" -le 4 ] 2> /dev/null && break
done
if [ -n "$differing" ] && [ "$differing" -le 4 ] 2> /dev/null; then
    echo "ok: F12 saved the shown frame ($differing of 307200 pixels differ)"
else
    fail "the screenshot differs from the screen in $differing pixels"
fi
quit_game play

exit "$failures"
