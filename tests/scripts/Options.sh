#!/usr/bin/env bash
# The command line: --help and --version answer and exit 0, anything else is refused with
# exit code 2, and without a display the game says so in one line and exits 1 (instead of
# running unseen).
# Arguments: <kelto binary> <source directory>.
set -u

kelto="$(realpath "$1")"
source_dir="$2"

source "$(dirname "$0")/XvfbSupport.bash"
kelto_sanitizer_settings "$kelto" "$source_dir"
failures=0
# The home lies outside the empty folder, which must stay empty.
scratch="$(mktemp -d)"
empty="$(mktemp -d)"
trap 'rm -rf "$empty" "$scratch"' EXIT
kelto_scratch_home "$scratch"

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

output="$("$kelto" --help 2> /dev/null)"
status=$?
[ "$status" -eq 0 ] || fail "--help exited with $status, expected 0"
grep -q -- "--windowed" <<< "$output" || fail "--help does not mention --windowed: $output"

output="$("$kelto" --version 2> /dev/null)"
status=$?
[ "$status" -eq 0 ] || fail "--version exited with $status, expected 0"
[ "$output" = "kelto 1.0.0" ] || fail "--version printed '$output', expected 'kelto 1.0.0'"

for option in --bogus -x windowed; do
    errors="$("$kelto" "$option" 2>&1 > /dev/null)"
    status=$?
    [ "$status" -eq 2 ] || fail "$option exited with $status, expected 2"
    grep -q "Usage" <<< "$errors" || fail "$option gave no usage on standard error: $errors"
done

# No display at all: SDL must not settle on a driver that shows nothing.
errors="$(cd "$empty" && env -u DISPLAY -u WAYLAND_DISPLAY -u XDG_RUNTIME_DIR -u SDL_VIDEODRIVER KELTO_DATA="$source_dir/assets" \
    timeout 10 "$kelto" 2>&1 > /dev/null)"
status=$?
[ "$status" -eq 1 ] || fail "without a display exited with $status, expected 1"
[ "$(wc -l <<< "$errors")" -eq 1 ] || fail "without a display said more than one line: $errors"
grep -q "^kelto: no display available: " <<< "$errors" || fail "without a display said: $errors"

[ "$failures" -eq 0 ] && echo "ok: --help, --version, unknown options and no display"
exit "$failures"
