#!/usr/bin/env bash
# A refereed room that plays with wind, on the loopback: a relay that runs the headless game as
# each room's referee, and two headless games playing the default game (a new wind every turn)
# to a winner and on to the winner of a second match (Enter pressed after the first), the
# computer at every seat's keys, and a spectator who comes once the host's recording holds
# a few seconds. The host's game sends each wind it draws and the second match's start, so the
# referee plays the same matches:
#   - all three games win both matches at the same frames and their recordings are the same
#     bytes; the spectator began behind the stream by seconds and caught up, sending nothing
#     the relay refused;
#   - the relay never gives the referee up, and says at the room's end that the referee stayed
#     on through the matches' winds and agreed at every second's checksum but the last few (the
#     players leave as soon as they win, before the referee has caught up);
#   - with the joiner's game split after frame 100, both games stop within 60 frames;
#   - with the host's game passing the turn to the joiner's seat in its own tank's turn, after
#     frame 300, the referee's game catches it: both games stop, out of sync at that frame.
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

# 1. Two whole matches to a winner each, with wind, refereed throughout, and a spectator who
#    comes some seconds in (a recording's header and first blocks are 400 bytes).
HOST_TEST="--matches 2" JOIN_TEST="--matches 2" WATCH_TEST="--matches 2" WATCH_AFTER_BYTES=400 play whole
for side in host join watch; do
    [ "$(cat whole-$side.status)" -eq 0 ] || fail "whole: the $side's game exited with $(cat whole-$side.status): $(cat whole-$side.err)"
done
wins="$(sed -n 's/^kelto_headless: the match is won after \([0-9]*\) frames$/\1/p' whole-host.out | tr '\n' ' ')"
won="$(echo "$wins" | awk '{ print $2 }')"
[ -n "$won" ] || fail "whole: the host did not win two matches: $(cat whole-host.out)"
for side in join watch; do
    [ "$(sed -n 's/^kelto_headless: the match is won after \([0-9]*\) frames$/\1/p' whole-$side.out | tr '\n' ' ')" = "$wins" ] ||
        fail "whole: the $side's game won its matches apart from the host's ($wins): $(cat whole-$side.out)"
    cmp -s whole-host.krec whole-$side.krec || fail "whole: the $side's recording differs from the host's"
done
behind="$(sed -n 's/^kelto_headless: at most \([0-9]*\) frames behind the stream$/\1/p' whole-watch.out)"
[ -n "$behind" ] && [ "$behind" -ge 120 ] || fail "whole: the spectator came ${behind:-no} frames behind the stream, not seconds"
grep -q "spectator" relay.err && fail "whole: the relay refused the spectator: $(cat relay.err)"
line="$(room_end 1)"
agreed="$(echo "$line" | sed -n 's/.*agreed at \([0-9]*\) checksums$/\1/p')"
# A match to a winner has many turns, each with its wind, the start-up's first.
winds="$(echo "$line" | sed -n 's/.*through \([0-9]*\) winds.*/\1/p')"
[ -n "$winds" ] && [ "$winds" -ge 6 ] || fail "whole: the stream held ${winds:-no} winds"
if [ -z "$agreed" ]; then
    fail "whole: the relay did not say the referee stayed on: $(cat relay.err)"
elif [ -n "$won" ] && { [ "$agreed" -lt $((won / 60 - 3)) ] || [ "$agreed" -gt $((won / 60)) ]; }; then
    fail "whole: the referee agreed at $agreed checksums of matches of $won frames"
fi
grep -q "majority\|out of sync" relay.err && fail "whole: the relay gave the referee up or stopped: $(cat relay.err)"
echo "whole: won after $wins frames, the spectator at most $behind frames behind; relay: $line"

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

# 3. The host's game passes the turn to the joiner's seat in its own tank's turn: the referee's
#    game says whose turn it was, and the room stops both games at that frame.
HOST_TEST="--false-turn 300" play turn
relay_said="$(sed -n 's/^kelto-relay: room [A-Z0-9]*: out of sync: \(seat 0 passed the turn to seat 1 at frame \([0-9]*\), in tank [023].s turn\)$/\2/p' relay.err)"
[ -n "$relay_said" ] && [ "$relay_said" -gt 300 ] ||
    fail "turn: the relay did not catch seat 0's false turn after frame 300: $(cat relay.err)"
for side in host join; do
    [ "$(cat turn-$side.status)" -eq 1 ] || fail "turn: the $side's game exited with $(cat turn-$side.status)"
    grep -qx "kelto: online: out of sync at frame ${relay_said:-none}" turn-$side.err ||
        fail "turn: the $side's game said: $(cat turn-$side.err)"
done
echo "turn: $(grep "passed the turn" relay.err)"

exit "$failures"
