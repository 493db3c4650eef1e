#!/usr/bin/env bash
# Starts the game with each of its four pictures broken in each way a picture file can be
# broken, or replaced by something that is no file at all (a FIFO, a directory, a device, a
# link that leads nowhere), and the real program with no display at all. Every case must end
# at once with exit code 1 and exactly one line on standard error naming the file (or the
# display) and the reason: no crash, no signal, no hang, no sanitizer report. The special
# files must be refused within a second. The pictures are read by kelto_headless, the game's
# own entry function on the headless backend, so no display is needed for them.
#
# Usage: StartupFaults.sh <kelto binary> <source dir>   (kelto_headless sits beside kelto)
set -uo pipefail

kelto="$(realpath -m "$1")"
source_dir="$(realpath "$2")"
headless="$(dirname "$kelto")/kelto_headless"
assets="$source_dir/assets"
if [ ! -x "$headless" ]; then
    echo "StartupFaults: no $headless; build the kelto_headless target" >&2
    exit 1
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/Scratch.bash"
kelto_scratch_home "$work"

# Writes `value` as a little-endian number of `bytes` bytes at `offset` of `file`.
put_number() {
    local file="$1" offset="$2" bytes="$3" value="$4" escaped="" i
    for ((i = 0; i < bytes; i++)); do
        escaped+="$(printf '\\x%02x' $(((value >> (8 * i)) & 255)))"
    done
    printf "$escaped" | dd of="$file" bs=1 seek="$offset" conv=notrunc status=none
}

# Breaks `file` (a good copy of the picture) in the way named by `fault`.
break_picture() {
    local file="$1" fault="$2"
    local size
    size="$(stat -c %s "$file")"
    case "$fault" in
    missing) rm "$file" ;;
    empty) : > "$file" ;;
    truncated-headers) truncate -s 30 "$file" ;;           # inside the info header
    truncated-colours) truncate -s 300 "$file" ;;          # inside the colour table
    truncated-rows) truncate -s $((size - 5)) "$file" ;;   # the last row stored is short
    24-bits) put_number "$file" 28 2 24 ;;                 # biBitCount
    compressed) put_number "$file" 30 4 1 ;;               # biCompression = RLE8
    absurd-width) put_number "$file" 18 4 40000 ;;         # biWidth over 16384
    absurd-height) put_number "$file" 22 4 $((1 << 30)) ;; # biHeight over 16384
    smaller-than-screen) cp "$assets/tank.bmp" "$file" ;;  # a good picture, 35 x 20
    larger-than-screen) cp "$assets/land.bmp" "$file" ;;   # a good picture, 1280 x 960
    four-bits) put_number "$file" 28 2 4 && truncate -s $((1078 + (size - 1078) / 2)) "$file" ;;
    fifo) rm "$file" && mkfifo "$file" ;;                  # opening it for reading would wait
    directory) rm "$file" && mkdir "$file" ;;
    dev-zero) rm "$file" && ln -s /dev/zero "$file" ;;     # endless, and no regular file
    dangling-link) rm "$file" && ln -s gone.bmp "$file" ;;
    link-loop) rm "$file" && ln -s "$(basename "$file")" "$file" ;;
    unreadable) chmod 000 "$file" ;;
    esac
}

failures=0
cases=0

# Runs `command...` in `dir` and checks exit code 1 and one line on standard error that
# contains `expected`, within `limit` seconds.
limit=20
check() {
    local label="$1" dir="$2" expected="$3"
    shift 3
    local status lines first
    (cd "$dir" && timeout "$limit" "$@" > /dev/null 2> "$dir/stderr")
    status=$?
    lines="$(wc -l < "$dir/stderr")"
    first="$(head -n 1 "$dir/stderr")"
    cases=$((cases + 1))
    if [ "$status" -eq 1 ] && [ "$lines" -eq 1 ] && [[ "$first" == *"$expected"* ]]; then
        printf 'ok    %-36s exit 1: %s\n' "$label" "$first"
    else
        failures=$((failures + 1))
        printf 'FAIL  %-36s exit %s, %s lines on stderr:\n' "$label" "$status" "$lines"
        head -n 20 "$dir/stderr" | sed 's/^/        /'
    fi
}

fresh_dir() {
    local dir="$work/$1"
    mkdir -p "$dir"
    cp "$assets/background.bmp" "$assets/land.bmp" "$assets/tank.bmp" "$assets/bomb.bmp" "$dir/"
    echo "$dir"
}

# The good pictures start and end cleanly, so the failures below are the broken file's doing.
dir="$(fresh_dir good)"
(cd "$dir" && timeout 20 "$headless" --frames 30 > /dev/null 2> "$dir/stderr")
status=$?
cases=$((cases + 1))
if [ "$status" -eq 0 ] && [ ! -s "$dir/stderr" ]; then
    echo "ok    all pictures good                    exit 0, nothing on stderr"
else
    failures=$((failures + 1))
    echo "FAIL  all pictures good: exit $status"
    head -n 20 "$dir/stderr" | sed 's/^/        /'
fi

# Each fault with the words its line must hold.
declare -A reasons=(
    [missing]="no such file" [empty]="truncated" [truncated-headers]="truncated"
    [truncated-colours]="truncated" [truncated-rows]="truncated" [24-bits]="over 8 bits per pixel"
    [compressed]="compressed" [absurd-width]="too large" [absurd-height]="too large"
    [smaller-than-screen]="35 x 20 is smaller than the 640 x 480 screen"
    [larger-than-screen]="1280 x 960 is larger than the 640 x 480 screen"
    [four-bits]="fewer than 8 bits per pixel"
    [fifo]="not a regular file" [directory]="not a regular file" [dev-zero]="not a regular file"
    [dangling-link]="no such file" [link-loop]="symbolic link loop" [unreadable]="permission denied"
)
faults="missing empty truncated-headers truncated-colours truncated-rows 24-bits compressed absurd-width absurd-height four-bits"
special="fifo directory dev-zero dangling-link link-loop unreadable"
# Root reads any file, so the unreadable picture is tried as a user without the right.
as_user=()
if [ "$(id -u)" -eq 0 ]; then
    if command -v setpriv > /dev/null && id nobody > /dev/null 2>&1; then
        as_user=( setpriv --reuid=nobody --regid="$(id -g nobody)" --clear-groups )
        chmod 755 "$work"
    else
        echo "skip  unreadable pictures: running as root without setpriv to drop the right"
        special="${special/unreadable/}"
    fi
fi
for picture in background land tank bomb; do
    picture_faults="$faults $special"
    if [ "$picture" = background ] || [ "$picture" = land ]; then
        picture_faults+=" smaller-than-screen"
    else
        picture_faults+=" larger-than-screen"
    fi
    for fault in $picture_faults; do
        dir="$(fresh_dir "$picture-$fault")"
        break_picture "$dir/$picture.bmp" "$fault"
        command=( "$headless" --frames 30 )
        limit=20
        if [[ " $special " == *" $fault "* ]]; then
            limit=1
        fi
        if [ "$fault" = unreadable ] && [ "${#as_user[@]}" -gt 0 ]; then
            chmod 755 "$dir"
            command=( "${as_user[@]}" "${command[@]}" )
        fi
        check "$picture.bmp $fault" "$dir" "$picture.bmp: ${reasons[$fault]}" "${command[@]}"
    done
done
limit=20

# The real program with no display to show itself on (left out of a build without SDL).
if [ -n "${KELTO_WITHOUT_PROGRAM:-}" ]; then
    echo "skip  no display (SDL): this build has no SDL program"
else
    dir="$(fresh_dir no-display)"
    check "no display (SDL)" "$dir" "display" env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER "$kelto"
fi

echo "StartupFaults: $((cases - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
