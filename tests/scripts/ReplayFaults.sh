#!/usr/bin/env bash
# --timedemo as a hostile tester runs it, on the real program (no display needed):
#   - a legal 60 MiB recording plays in a small address space: the reader holds a block, not
#     the file (it diverges at its first checkpoint, which is what it is made to do);
#   - the golden replay under each address-space limit from 30 to 45 MB (and 50, 60) plays, or
#     ends with one line saying "out of memory" and exit code 1: never an abort or a crash;
#   - SIGTERM, SIGHUP and SIGINT end a timedemo as they end the game: exit code 0, no line;
#   - a recording of no frames plays no frame.
# Arguments: <kelto binary> <source directory>.
set -u

kelto="$(realpath "$1")"
source_dir="$(realpath "$2")"
golden="$source_dir/tests/replays/golden.krec"

# The sanitizers reserve terabytes of address space for their shadow memory: under them an
# address-space limit says nothing about the game, and those checks are left out.
limits=1
if ldd "$kelto" 2> /dev/null | grep -q libasan; then
    limits=0
    echo "skip  address-space limits: a sanitizer build"
fi

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

work="$(mktemp -d)"
game_pid=""
trap '[ -n "$game_pid" ] && kill "$game_pid" 2> /dev/null; rm -rf "$work"' EXIT
mkdir -p "$work/home" "$work/config"
export HOME="$work/home" XDG_CONFIG_HOME="$work/config"
cp "$source_dir"/assets/*.bmp "$work/"
cd "$work" || exit 1

# The golden recording's header, first match and start-up wind, then 60 MiB of legal blocks of 60 runs each
# (the most bytes a frame can take), their checksums all 0, then the end.
perl -e '
    open( my $in, "<:raw", $ARGV[0] ) or die;
    local $/;
    my $golden = <$in>;
    my $version = ord( substr( $golden, 10, 1 ) );
    my $rules = ord( substr( $golden, 11 + $version + 16, 1 ) );
    my $header = 11 + $version + 16 + 1 + 4 * $rules;
    open( my $out, ">:raw", $ARGV[1] ) or die;
    # The winds drawn at the start, before the first frame, go with the first match.
    my $start = $header + 21;
    $start += 9 while substr( $golden, $start, 1 ) eq "W" && unpack( "V", substr( $golden, $start + 1, 4 ) ) == 0;
    print $out substr( $golden, 0, $start );
    my $frame = 0;
    for my $block ( 1 .. ( 60 * 1024 * 1024 - 200 ) / 191 ) {
        print $out "K" . pack( "VCC", $frame, 60, 60 ) . pack( "vC", 0, 1 ) x 30 . pack( "vC", 1, 1 ) x 30 . pack( "V", 0 );
        $frame += 60;
    }
    print $out "E" . pack( "V", $frame );
' "$golden" "$work/big.krec"
size="$(stat -c %s "$work/big.krec")"
[ "$size" -gt $((59 * 1024 * 1024)) ] || fail "the large recording has only $size bytes"

# Held whole in memory (5 bytes a run and more), it would need more than 300 MB.
limit_100mb="ulimit -v 100000"
[ "$limits" -eq 1 ] || limit_100mb=":"
errors="$( ($limit_100mb && exec "$kelto" --timedemo "$work/big.krec") 2>&1 > /dev/null)"
status=$?
[ "$status" -eq 1 ] && [ "$errors" = "kelto: $work/big.krec: replay diverges at frame 60" ] ||
    fail "the 60 MiB recording in 100 MB of address space: exit $status, said '$errors'"

# Every limit around the game's own needs: played, or refused with one line, never aborted.
played=0
refused=0
for limit in $(seq 30000 1000 45000) 50000 60000; do
    [ "$limits" -eq 1 ] || break
    errors="$( (ulimit -v "$limit" && exec "$kelto" --timedemo "$golden") 2>&1 > /dev/null)"
    status=$?
    lines="$(printf '%s' "$errors" | grep -c '')"
    if [ "$status" -eq 0 ] && [ -z "$errors" ]; then
        played=$((played + 1))
    elif [ "$status" -eq 1 ] && [ "$lines" -eq 1 ] && [[ "$errors" == "kelto: "*": out of memory" ]]; then
        refused=$((refused + 1))
    elif [ "$status" -eq 127 ] && [[ "$errors" == *"error while loading shared libraries"* ]]; then
        : # the system's loader could not map the program's libraries: nothing of ours ran
    else
        fail "the golden replay in $limit KB of address space: exit $status, said '$errors'"
    fi
done
if [ "$limits" -eq 1 ]; then
    [ "$played" -gt 0 ] && [ "$refused" -gt 0 ] ||
        fail "the limits from 30 to 60 MB gave $played games and $refused refusals; both must occur"
    echo "address-space limits 30 to 60 MB: $played played, $refused refused with 'out of memory'"
fi

# Signals: the large recording's check takes a second or more, so a signal sent once the game
# has the file open comes while the game runs. SIGINT is let through where the shell would
# have the background ignore it.
for signal in TERM HUP INT; do
    perl -e '$SIG{INT} = "DEFAULT"; exec @ARGV' "$kelto" --timedemo "$work/big.krec" > "$work/out" 2> "$work/err" &
    game_pid=$!
    for _ in $(seq 200); do
        ls -l "/proc/$game_pid/fd" 2> /dev/null | grep -q big.krec && break
        sleep 0.02
    done
    kill -"$signal" "$game_pid"
    wait "$game_pid"
    status=$?
    game_pid=""
    [ "$status" -eq 0 ] && [ ! -s "$work/err" ] && [ ! -s "$work/out" ] ||
        fail "SIG$signal to a timedemo: exit $status, said '$(cat "$work/err" "$work/out")'"
done

# Header and first match alone.
version="$(od -An -tu1 -j 10 -N 1 "$golden" | tr -d ' ')"
rules="$(od -An -tu1 -j $((11 + version + 16)) -N 1 "$golden" | tr -d ' ')"
head -c $((11 + version + 16 + 1 + 4 * rules + 21)) "$golden" > "$work/none.krec"
output="$("$kelto" --timedemo "$work/none.krec" 2>&1)"
[ $? -eq 0 ] && [[ "$output" == "$work/none.krec: 0 frames, 0.000 seconds, 0 frames per second, "* ]] ||
    fail "a recording of no frames: '$output'"

[ "$failures" -eq 0 ] && echo "ok: large recordings, memory limits, signals and empty recordings under --timedemo"
exit "$failures"
