#!/usr/bin/env bash
# The real game's sound, written to a file by SDL's disk audio driver on a virtual X display:
# silent until the first shot and not silent after it; with --mute silent throughout, shot
# included. Both games run side by side, each on its own display.
# Arguments: <kelto binary> <source directory>.
set -u

kelto="$(realpath "$1")"
source_dir="$2"

source "$(dirname "$0")/XvfbSupport.bash"
kelto_sanitizer_settings "$kelto" "$source_dir"

if [ ! -f "$source_dir/assets/land.bmp" ] || [ ! -f "$source_dir/assets/explosion.wav" ]; then
    echo "SKIP: no pictures or sounds in $source_dir/assets (the generators in tools/ make them)"
    exit 0
fi
kelto_require_tools Xvfb xdotool

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
kelto_scratch_home "$work"

# Bytes other than zero (sound) in <file> from byte <first> to <last> (exclusive).
loud_bytes() {
    head -c "$3" "$1" | tail -c +"$(($2 + 1))" | tr -d '\0' | wc -c
}

audio_size() {
    stat -c %s "$1/audio.raw" 2> /dev/null || echo 0
}

# One game with the given options, its samples in <dir>/audio.raw. The tanks take a while to
# land, longer on a busy machine, so Space is tapped once a second until the first shot is
# heard; <dir>/before then holds how many bytes had been written when that tap began. The
# muted game taps on until the other has heard its shot, and three times more. <dir>/result
# says "ok" or what went wrong.
play() {
    local dir="$1" mode="$2"
    mkdir -p "$dir"
    cp "$source_dir"/assets/*.bmp "$source_dir"/assets/*.wav "$dir/"
    game_pid=""
    xvfb_pid=""
    trap '[ -n "$game_pid" ] && kill "$game_pid" 2> /dev/null; [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2> /dev/null' EXIT
    if ! kelto_start_xvfb "$dir/xvfb.log"; then
        echo "Xvfb did not start" > "$dir/result"
        return
    fi
    (cd "$dir" && SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$dir/audio.raw" exec "$kelto" "${options[@]}") \
        > "$dir/game.log" 2>&1 &
    game_pid=$!
    local window=""
    for _ in $(seq 50); do
        window="$(xdotool search --name '^Kelto$' 2> /dev/null | head -n 1)"
        [ -n "$window" ] && break
        sleep 0.1
    done
    if [ -z "$window" ]; then
        echo "no window within 5 s" > "$dir/result"
        return
    fi
    xdotool windowfocus "$window" 2> /dev/null
    local size extra=3
    for _ in $(seq 90); do
        size="$(audio_size "$dir")"
        xdotool keydown space
        sleep 0.2
        xdotool keyup space
        sleep 1
        if [ "$mode" = sound ]; then
            if [ "$(loud_bytes "$dir/audio.raw" "$size" "$(audio_size "$dir")")" -gt 0 ]; then
                echo "$size" > "$dir/before"
                sleep 2
                break
            fi
        elif [ -f "$work/sound/before" ] || [ -f "$work/sound/result" ]; then
            extra=$((extra - 1))
            [ "$extra" -eq 0 ] && break
        fi
    done
    kelto_quit_from_play
    for _ in $(seq 50); do
        kill -0 "$game_pid" 2> /dev/null || break
        sleep 0.1
    done
    if kill -0 "$game_pid" 2> /dev/null; then
        echo "still running 5 s after Escape" > "$dir/result"
        return
    fi
    wait "$game_pid"
    local status=$?
    game_pid=""
    [ "$status" -eq 0 ] && echo ok > "$dir/result" || echo "exit code $status" > "$dir/result"
}

# Straight into a match (without a match option the game opens on its title, over the
# computer's match and its sounds); in play the pause menu's Quit ends it.
options=( --players 1 )
(play "$work/sound" sound) &
sound_run=$!
options=( --players 1 --mute )
(play "$work/muted" muted) &
muted_run=$!
wait "$sound_run" "$muted_run"

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

for run in sound muted; do
    dir="$work/$run"
    result="$(cat "$dir/result" 2> /dev/null)"
    if [ "$result" != "ok" ]; then
        fail "$run: ${result:-no result}"
        cat "$dir/game.log" 2> /dev/null
        continue
    fi
    total="$(audio_size "$dir")"
    # Two seconds of 22050 Hz 16-bit stereo at least: the device was open and playing.
    if [ "$total" -lt 176400 ]; then
        fail "$run: the audio file holds only $total bytes"
        continue
    fi
    if [ "$run" = muted ]; then
        loud="$(loud_bytes "$dir/audio.raw" 0 "$total")"
        [ "$loud" -eq 0 ] || fail "muted: $loud bytes of sound"
        echo "muted: $total bytes of samples, all silent"
        continue
    fi
    if [ ! -f "$dir/before" ]; then
        fail "sound: no shot was heard"
        continue
    fi
    before="$(cat "$dir/before")"
    early="$(loud_bytes "$dir/audio.raw" 0 "$before")"
    late="$(loud_bytes "$dir/audio.raw" "$before" "$total")"
    [ "$early" -eq 0 ] || fail "sound: $early bytes of sound before the first shot"
    [ "$late" -gt 10000 ] || fail "sound: only $late bytes of sound after the shot"
    echo "sound: silent for $before bytes before the shot, $late of $((total - before)) bytes sound after"
done
exit "$failures"
