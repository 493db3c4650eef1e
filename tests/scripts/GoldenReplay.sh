#!/usr/bin/env bash
# The golden replays (tests/replays/golden.krec on the bundled pictures, land.krec on a made
# land) on the headless backend, through kelto_headless --timedemo, so that every build
# replays them, with SDL or without:
#   - it plays to its end with exit code 0, nothing on standard error and one line of figures
#     whose frame count and state checksum are those the recording itself ends with (its end
#     record's frame count, and the checksum closing its last block);
#   - a copy whose last checksum is changed diverges at its very last frame, exit code 1.
# scripts/record-golden.sh records the replay again when the game changes on purpose; the
# expected figures come from the recording, so nothing else changes with it.
#
# Usage: GoldenReplay.sh <kelto binary> <source dir>   (kelto_headless sits beside kelto)
set -u

headless="$(dirname "$(realpath -m "$1")")/kelto_headless"
source_dir="$(realpath "$2")"
golden="$source_dir/tests/replays/golden.krec"
if [ ! -x "$headless" ]; then
    echo "GoldenReplay: no $headless; build the kelto_headless target" >&2
    exit 1
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/Scratch.bash"
kelto_scratch_home "$work"
cp "$source_dir"/assets/{background,land,tank,bomb}.bmp "$work/"

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# Prints the little-endian u32 at `offset` of `file` as eight hexadecimal digits.
u32_at() {
    od -An -tx1 -j "$2" -N 4 "$1" | awk '{ printf "%s%s%s%s", $4, $3, $2, $1 }'
}

# A properly ended recording closes with its last block's checksum, then the end record: the
# tag E and the frame count. Sets `frames` and `checksum` from it.
ends_on_its_own_figures() {
    local recording="$1"
    local size tag expected output status
    size="$(stat -c %s "$recording")"
    tag="$(od -An -c -j $((size - 5)) -N 1 "$recording" | tr -d ' ')"
    if [ "$tag" != "E" ]; then
        fail "$recording does not end with its end record (found '$tag')"
        return
    fi
    frames=$((16#$(u32_at "$recording" $((size - 4)))))
    checksum="$(u32_at "$recording" $((size - 9)))"
    expected="$recording: $frames frames, [0-9.]+ seconds, [0-9]+ frames per second, state checksum $checksum"
    output="$(cd "$work" && "$headless" --timedemo "$recording" 2> "$work/err")"
    status=$?
    echo "$output"
    [ "$status" -eq 0 ] || fail "$recording exited with $status: $(cat "$work/err")"
    [ -s "$work/err" ] && fail "$recording said on standard error: $(cat "$work/err")"
    grep -Eqx "$expected" <<< "$output" ||
        fail "$recording printed '$output', expected $frames frames and state checksum $checksum"
}

# The made land's replay (its land's code among its rules) first, then the golden one, whose
# figures the checks below use.
ends_on_its_own_figures "$source_dir/tests/replays/land.krec"
ends_on_its_own_figures "$golden"
[ "$failures" -eq 0 ] || exit "$failures"
size="$(stat -c %s "$golden")"

# The last block's checksum, one off: the replay must stop at the recording's last frame.
cp "$golden" "$work/last.krec"
printf "\\x$(printf '%02x' $(((16#${checksum:6:2} + 1) % 256)))" |
    dd of="$work/last.krec" bs=1 seek=$((size - 9)) conv=notrunc status=none
errors="$(cd "$work" && "$headless" --timedemo "$work/last.krec" 2>&1 > /dev/null)"
status=$?
[ "$status" -eq 1 ] || fail "a changed last checksum exited with $status, expected 1"
[ "$errors" = "kelto: $work/last.krec: replay diverges at frame $frames" ] ||
    fail "a changed last checksum said '$errors', expected a divergence at frame $frames"

# A timedemo without its file is a usage error, not a game.
for arguments in "--timedemo" "--timedemo ''" "--timedemo $golden --frames 10"; do
    eval "\"\$headless\" $arguments" > /dev/null 2>&1
    status=$?
    [ "$status" -eq 2 ] || fail "kelto_headless $arguments exited with $status, expected 2"
done

[ "$failures" -eq 0 ] && echo "ok: the golden replay ends on its own $frames frames and checksum $checksum headless"
exit "$failures"
