#!/usr/bin/env bash
# Installs the game into a scratch prefix and starts the installed program from another
# working directory: it must find its pictures in ../share/kelto, open its window and end
# with exit code 0 on Escape; moved to another prefix, it must still do so. Also checks the
# installed files (desktop entry and AppStream data pass their validators) and that a
# program with no pictures anywhere says where it looked, in one line, with exit code 1, and
# one given --data names the picture that folder lacks.
# Arguments: <kelto binary> <source directory>.
set -u

kelto="$(realpath "$1")"
source_dir="$2"
build_dir="$(dirname "$kelto")"

source "$(dirname "$0")/XvfbSupport.bash"
kelto_sanitizer_settings "$kelto" "$source_dir"
kelto_require_tools Xvfb xdotool desktop-file-validate

work="$(mktemp -d)"
kelto_scratch_home "$work"
xvfb_pid=""
game_pid=""
cleanup() {
    [ -n "$game_pid" ] && kill "$game_pid" 2> /dev/null && wait "$game_pid" 2> /dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2> /dev/null && wait "$xvfb_pid" 2> /dev/null
    rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

if ! cmake --install "$build_dir" --prefix "$work/prefix" > "$work/install.log" 2>&1; then
    cat "$work/install.log"
    fail "cmake --install failed"
    exit 1
fi
for file in bin/kelto share/kelto/background.bmp share/kelto/land.bmp share/kelto/tank.bmp \
            share/kelto/bomb.bmp share/applications/kelto.desktop share/metainfo/io.github.kelto.kelto.metainfo.xml \
            share/man/man6/kelto.6.gz share/icons/hicolor/48x48/apps/kelto.png \
            share/icons/hicolor/128x128/apps/kelto.png share/icons/hicolor/256x256/apps/kelto.png; do
    [ -f "$work/prefix/$file" ] || fail "the install lacks $file"
done
for unwanted in make_assets make_icons soak kelto_headless OptionsTest; do
    [ -z "$(find "$work/prefix" -name "$unwanted")" ] || fail "the install holds $unwanted"
done
desktop-file-validate "$work/prefix/share/applications/kelto.desktop" || fail "desktop entry invalid"
# The whole installed tree, as a software centre reads it: the metadata's file name must match
# its ID and its desktop entry must be there. Pedantic notes aside, nothing may be reported.
if command -v appstreamcli > /dev/null; then
    appstreamcli validate-tree --no-net "$work/prefix" > "$work/appstream.log" 2>&1 \
        || { cat "$work/appstream.log"; fail "AppStream data invalid"; }
    if grep -E "^[[:space:]]*[EW]:" "$work/appstream.log"; then
        fail "AppStream reports warnings on the installed tree"
    fi
fi

if ! kelto_start_xvfb "$work/xvfb.log"; then
    echo "FAIL: Xvfb did not start"
    cat "$work/xvfb.log"
    exit 1
fi

# Starts the installed program from an empty working directory, waits for its window, sends
# Escape and expects exit code 0.
# Arguments: <prefix> <label>.
play_installed() {
    mkdir -p "$work/elsewhere"
    (cd "$work/elsewhere" && exec env -u KELTO_DATA "$1/bin/kelto" --windowed) > "$work/game.log" 2>&1 &
    game_pid=$!
    local window=""
    # A loaded machine (the sanitizer build, tests side by side) can take long to start.
    for _ in $(seq 300); do
        window="$(xdotool search --name '^Kelto$' 2> /dev/null | head -n 1)"
        [ -n "$window" ] && break
        kill -0 "$game_pid" 2> /dev/null || break
        sleep 0.1
    done
    if [ -z "$window" ]; then
        fail "$2: no window within 30 s: $(cat "$work/game.log")"
        kill "$game_pid" 2> /dev/null
        wait "$game_pid" 2> /dev/null
        game_pid=""
        return
    fi
    sleep 1
    xdotool windowfocus "$window" key Escape 2> /dev/null
    kelto_wait_exit "$game_pid" 15
    local status="$kelto_exit_status"
    game_pid=""
    [ "$status" = "0" ] || fail "$2: exit code '$status' after Escape, expected 0: $(cat "$work/game.log")"
    [ "$status" = "0" ] && echo "ok: $2 found its pictures and ended on Escape"
}

play_installed "$work/prefix" "the installed game"
mv "$work/prefix" "$work/moved"
play_installed "$work/moved" "the moved installed game"

rm -rf "$work/moved/share/kelto"
errors="$(cd "$work/elsewhere" && env -u KELTO_DATA "$work/moved/bin/kelto" 2>&1 > /dev/null)"
status=$?
[ "$status" -eq 1 ] || fail "with no pictures anywhere exited with $status, expected 1"
[ "$(wc -l <<< "$errors")" -eq 1 ] || fail "with no pictures anywhere said more than one line: $errors"
grep -q "^kelto: cannot find the pictures; looked in the working directory, $work/moved/share/kelto$" \
    <<< "$errors" || fail "with no pictures anywhere said: $errors"

# --data is the only place looked at, so the line names the picture its folder lacks (the
# last of the four, with the other three there) even with pictures in $KELTO_DATA.
mkdir -p "$work/partial"
cp "$source_dir"/assets/{background,land,tank}.bmp "$work/partial/"
errors="$(cd "$work/elsewhere" && KELTO_DATA="$source_dir/assets" "$work/moved/bin/kelto" --data "$work/partial" 2>&1 > /dev/null)"
status=$?
[ "$status" -eq 1 ] || fail "--data without bomb.bmp exited with $status, expected 1"
[ "$errors" = "kelto: cannot find the pictures in $work/partial: $work/partial/bomb.bmp: no such file" ] \
    || fail "--data without bomb.bmp said: $errors"

exit "$failures"
