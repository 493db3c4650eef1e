#!/usr/bin/env bash
# A refereed room that plays with wind, on the loopback: a relay that runs the headless game as
# each room's referee, and two headless games playing the default game (a new wind every turn)
# to a winner, the computer at every seat's keys. The host's game sends each wind it draws, so
# the referee plays the same match:
#   - both games win at the same frame and their recordings are the same bytes;
#   - the relay never gives the referee up, and says at the room's end that the referee stayed
#     on through the match's winds and agreed at every second's checksum but the last few (the players leave as soon as
#     they win, before the referee has caught up);
#   - with the joiner's game split after frame 100, both games stop within 60 frames.
# Every game runs under a timeout and on its own scratch home.
#
# Usage: RefereedMatch.sh <kelto-relay> <kelto_headless> <source dir>
set -u

relay_program="$(realpath "$1")"
headless="$(realpath "$2")"
source_dir="$(realpath "$3")"

source "$source_dir/tests/net/OnlineSupport.bash"
online_start_relay --referee "$headless" --referee-data "$work"

# The relay's last word on room number $1 (1 for the first room opened): waits for it.
room_end() {
    for _ in $(seq 100); do
        [ "$(grep -c "the referee stayed on" relay.err)" -ge "$1" ] && break
        sleep 0.1
    done
    grep "the referee stayed on" relay.err | sed -n "${1}p"
}

# 1. A whole match to a winner, with wind, refereed throughout.
play whole
for side in host join; do
    [ "$(cat whole-$side.status)" -eq 0 ] || fail "whole: the $side's game exited with $(cat whole-$side.status): $(cat whole-$side.err)"
done
won="$(sed -n 's/^kelto_headless: the match is won after \([0-9]*\) frames$/\1/p' whole-host.out)"
[ -n "$won" ] || fail "whole: the host's match was not won: $(cat whole-host.out)"
grep -q "the match is won after $won frames" whole-join.out || fail "whole: the games were won apart"
cmp -s whole-host.krec whole-join.krec || fail "whole: the two recordings differ"
line="$(room_end 1)"
agreed="$(echo "$line" | sed -n 's/.*agreed at \([0-9]*\) checksums$/\1/p')"
# A match to a winner has many turns, each with its wind, the start-up's first.
winds="$(echo "$line" | sed -n 's/.*through \([0-9]*\) winds.*/\1/p')"
[ -n "$winds" ] && [ "$winds" -ge 3 ] || fail "whole: the stream held ${winds:-no} winds"
if [ -z "$agreed" ]; then
    fail "whole: the relay did not say the referee stayed on: $(cat relay.err)"
elif [ -n "$won" ] && { [ "$agreed" -lt $((won / 60 - 3)) ] || [ "$agreed" -gt $((won / 60)) ]; }; then
    fail "whole: the referee agreed at $agreed checksums of a match of $won frames"
fi
grep -q "majority" relay.err && fail "whole: the relay gave the referee up: $(cat relay.err)"
echo "whole: won after $won frames; relay: $line"

# 2. The joiner's game split after frame 100: the referee's room stops both within 60 frames.
JOIN_TEST="--split-at 100" play split
for side in host join; do
    [ "$(cat split-$side.status)" -eq 1 ] || fail "split: the $side's game exited with $(cat split-$side.status)"
    frame="$(sed -n 's/^kelto: online: out of sync at frame \([0-9]*\)$/\1/p' split-$side.err)"
    if [ -z "$frame" ]; then
        fail "split: the $side's game did not say out of sync: $(cat split-$side.err)"
    elif [ "$frame" -le 100 ] || [ "$frame" -gt 160 ]; then
        fail "split: the $side's game was stopped at frame $frame, not within 60 frames after 100"
    fi
done
grep -q "majority" relay.err && fail "split: the relay gave the referee up: $(cat relay.err)"
echo "split: $(cat split-join.err)"

exit "$failures"
