#!/usr/bin/env bash
# Online play on the loopback: a relay and two headless games, the computer at the keys of
# every seat (the host's game plays its own seat and the two tanks beyond the room's seats,
# the joiner's game its own seat), each game started with its own seed.
#   - they play to a winner at the same frame, and their recordings are the same bytes (so
#     they agree at every checksum), each replaying offline to its end with the same final
#     checksum;
#   - a joiner whose state is made to differ after frame 100 stops both games within 60
#     frames with "out of sync at frame N"; the host's recording replays to its end, the
#     joiner's diverges at N;
#   - a code no room has is refused with the relay's reason;
#   - a joiner killed mid-match: the host's computer takes its seat a few seconds later, and a
#     new game of the same name takes it back, catches up from the relay and plays to the
#     winner with the host, both recordings the same bytes and replaying to the end;
#   - a host that runs the relay itself (the tool's listens on the loopback alone) prints its
#     address; a joiner plays until the host leaves, then is told the match is over.
# Every game runs under a timeout and on its own scratch home.
#
# Usage: OnlineMatch.sh <kelto-relay> <kelto_headless> <source dir>
set -u

relay_program="$(realpath "$1")"
headless="$(realpath "$2")"
source_dir="$(realpath "$3")"

source "$source_dir/tests/net/OnlineSupport.bash"
online_start_relay

# The state checksum a recording replays to, or its error.
replay_checksum() {
    "$headless" --timedemo "$1" 2>&1 | sed -n 's/.*state checksum \([0-9a-f]*\)$/\1/p; s/.*\(replay diverges at frame [0-9]*\)$/\1/p'
}

# 1. A whole match to a winner.
play whole
for side in host join; do
    [ "$(cat whole-$side.status)" -eq 0 ] || fail "whole: the $side's game exited with $(cat whole-$side.status): $(cat whole-$side.err)"
    [ -s whole-$side.err ] && fail "whole: the $side's game said: $(cat whole-$side.err)"
done
won_host="$(grep "the match is won" whole-host.out)"
won_join="$(grep "the match is won" whole-join.out)"
[ -n "$won_host" ] || fail "whole: the host's match was not won: $(cat whole-host.out)"
[ "$won_host" = "$won_join" ] || fail "whole: the games were won apart: '$won_host' and '$won_join'"
cmp -s whole-host.krec whole-join.krec || fail "whole: the two recordings differ"
host_sum="$(replay_checksum "$work/whole-host.krec")"
join_sum="$(replay_checksum "$work/whole-join.krec")"
[[ "$host_sum" =~ ^[0-9a-f]{8}$ ]] || fail "whole: the host's recording does not replay: $host_sum"
[ "$host_sum" = "$join_sum" ] || fail "whole: the recordings replay to $host_sum and $join_sum"
echo "whole match: $won_host; both recordings replay to $host_sum"

# 2. The joiner's game split after frame 100: both stop within 60 frames.
JOIN_TEST="--split-at 100" play split
for side in host join; do
    [ "$(cat split-$side.status)" -eq 1 ] || fail "split: the $side's game exited with $(cat split-$side.status)"
    frame="$(sed -n 's/^kelto: online: out of sync at frame \([0-9]*\)$/\1/p' split-$side.err)"
    if [ -z "$frame" ]; then
        fail "split: the $side's game did not say out of sync: $(cat split-$side.err)"
    elif [ "$frame" -le 100 ] || [ "$frame" -gt 160 ]; then
        fail "split: the $side's game was stopped at frame $frame, not within 60 frames after 100"
    fi
    echo "split: the $side's game: $(cat split-$side.err)"
done
host_replay="$(replay_checksum "$work/split-host.krec")"
join_replay="$(replay_checksum "$work/split-join.krec")"
[[ "$host_replay" =~ ^[0-9a-f]{8}$ ]] || fail "split: the host's recording does not replay: $host_replay"
[ "$join_replay" = "replay diverges at frame $frame" ] ||
    fail "split: the joiner's recording replays to '$join_replay', not diverging at $frame"

# 3. A room nobody opened.
timeout 30 "$headless" --online -- --join "ws://127.0.0.1:$port/ZZZZZZ" > none.out 2> none.err
status=$?
[ "$status" -eq 1 ] || fail "no room: exited with $status"
grep -q "ZZZZZZ" none.err || fail "no room: said '$(cat none.err)'"
echo "no room: $(cat none.err)"

# 4. A joiner killed, its seat played by the host's computer, then taken back.
timeout 120 "$headless" --online --computer-plays-me --seed 1 --frame-ms 2 -- --host \
    --relay "ws://127.0.0.1:$port" --name HOST --record "$work/back-host.krec" > back-host.out 2> back-host.err &
back_pid=$!
for _ in $(seq 100); do
    grep -q "friends join with" back-host.out && break
    sleep 0.1
done
address="$(sed -n 's/^kelto: friends join with: kelto --join \(ws:.*\)$/\1/p' back-host.out)"
# Killed outright, as a machine that loses its network or its power: nothing is said.
( timeout -s KILL 2 "$headless" --online --computer-plays-me --seed 2 -- --join "$address" --name GUEST \
    > back-first.out 2> back-first.err ) 2> /dev/null
for _ in $(seq 100); do
    grep -q "the computer plays for GUEST" back-host.out && break
    sleep 0.1
done
grep -q "the computer plays for GUEST, who left" back-host.out ||
    fail "back: the host's computer did not take the seat: $(cat back-host.out)"
sleep 1
timeout 120 "$headless" --online --computer-plays-me --seed 3 -- --join "$address" --name GUEST \
    --record "$work/back-join.krec" > back-join.out 2> back-join.err
status=$?
wait "$back_pid"
host_status=$?
[ "$status" -eq 0 ] || fail "back: the game back in the seat exited with $status: $(cat back-join.err)"
[ "$host_status" -eq 0 ] || fail "back: the host exited with $host_status: $(cat back-host.err)"
grep -q "GUEST takes the seat back" back-host.out || fail "back: the seat was not taken back: $(cat back-host.out)"
won_host="$(grep "the match is won" back-host.out)"
[ -n "$won_host" ] || fail "back: the host's match was not won"
[ "$won_host" = "$(grep "the match is won" back-join.out)" ] || fail "back: the games were won apart"
cmp -s back-host.krec back-join.krec || fail "back: the two recordings differ"
back_sum="$(replay_checksum "$work/back-host.krec")"
[[ "$back_sum" =~ ^[0-9a-f]{8}$ ]] || fail "back: the host's recording does not replay: $back_sum"
echo "back: $(grep -c . back-host.out) lines from the host; $won_host; replays to $back_sum"

# 5. The relay inside the host's game, gone with it.
timeout 60 "$headless" --online --computer-plays-me --seed 1 --frames 1500 -- --host --name HOST \
    > inner-host.out 2> inner-host.err &
inner_pid=$!
for _ in $(seq 100); do
    grep -q "friends join with" inner-host.out && break
    sleep 0.1
done
inner_port="$(sed -n 's/^kelto: friends join with: kelto --join ws:\/\/[0-9.]*:\([0-9]*\)\/[A-Z0-9]*$/\1/p' inner-host.out)"
inner_code="$(sed -n 's/^kelto: friends join with: .*\/\([A-Z0-9]*\)$/\1/p' inner-host.out)"
if [ -z "$inner_port" ] || [ -z "$inner_code" ]; then
    fail "inner relay: the host printed '$(cat inner-host.out)' $(cat inner-host.err)"
else
    timeout 60 "$headless" --online --computer-plays-me --seed 2 -- --join "ws://127.0.0.1:$inner_port/$inner_code" \
        --name GUEST > inner-join.out 2> inner-join.err
    status=$?
    [ "$status" -eq 1 ] || fail "inner relay: the joiner exited with $status"
    grep -qx "kelto: online: the relay is gone: the match is over" inner-join.err ||
        fail "inner relay: the joiner said '$(cat inner-join.err)'"
    echo "inner relay: the joiner was told: $(cat inner-join.err)"
fi
wait "$inner_pid"
status=$?
[ "$status" -eq 0 ] || fail "inner relay: the host exited with $status: $(cat inner-host.err)"

exit "$failures"
