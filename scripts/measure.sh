#!/usr/bin/env bash
# Plays the game full screen on a virtual 1280 x 960 display for a while (30 s by default),
# driving and firing now and then, and reports how many frames it advanced per second of wall
# time and how much of one processor core it used (its own processor time over the wall time,
# so other programs on the machine do not count). Targets: 60 frames per second within 0.5 %,
# and at most 5 % of one core. Exits 1 when a target is missed. The game runs on its default
# settings (a scratch settings file), so a player's own file does not change the figure.
#
# Usage: scripts/measure.sh [kelto binary] [seconds] [game options...]
# (default binary: build/default/kelto, built with scripts/build.sh when missing). The sounds
# are there too; to hear what they cost where there is no sound card, compare
#   SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null scripts/measure.sh build/default/kelto 30
# with the same run given --mute.
set -euo pipefail
cd "$(dirname "$0")/.."

kelto="${1:-build/default/kelto}"
seconds="${2:-30}"
options=( "${@:3}" )
if [ ! -x "$kelto" ]; then
    scripts/build.sh default
fi
kelto="$(realpath "$kelto")"
warm_up=2

work="$(mktemp -d)"
xvfb_pid=""
game_pid=""
cleanup() {
    if [ -n "$game_pid" ]; then kill "$game_pid" 2> /dev/null || true; wait "$game_pid" 2> /dev/null || true; fi
    if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2> /dev/null || true; wait "$xvfb_pid" 2> /dev/null || true; fi
    rm -rf "$work"
}
trap cleanup EXIT

cp assets/background.bmp assets/land.bmp assets/tank.bmp assets/bomb.bmp assets/*.wav "$work/"

# Xvfb picks a free display number itself and writes it to descriptor 3, so the measurement
# never meets a display that another run (or a desktop) is using.
Xvfb -displayfd 3 -screen 0 1280x960x24 -nolisten tcp -noreset 3> "$work/display" > "$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    kill -0 "$xvfb_pid" 2> /dev/null || break
    sleep 0.1
done
if [ ! -s "$work/display" ]; then
    echo "measure: Xvfb did not start" >&2
    exit 1
fi
export DISPLAY=":$(tr -d '[:space:]' < "$work/display")"

(cd "$work" && KELTO_STATS=1 exec "$kelto" --settings "$work/settings.ini" "${options[@]}") 2> "$work/stats.log" &
game_pid=$!

# Busy time of the process in clock ticks: user plus system (fields 14 and 15 of its stat;
# the name in field 2 has no spaces here).
busy_ticks() { awk '{ print $14 + $15 }' "/proc/$game_pid/stat"; }
now() { date +%s.%N; }

sleep "$warm_up"
start_ticks="$(busy_ticks)"
start_time="$(now)"

# Some play while it runs: drive right, raise the barrel, charge and fire.
half=$(( (seconds - 4) / 2 ))
sleep "$half"
xdotool keydown Right; sleep 1.5; xdotool keyup Right
xdotool keydown Up; sleep 0.5; xdotool keyup Up
xdotool keydown space; sleep 1; xdotool keyup space
sleep $(( seconds - 3 - half ))

end_ticks="$(busy_ticks)"
end_time="$(now)"
xdotool key Escape
status=0
wait "$game_pid" || status=$?
game_pid=""
if [ "$status" -ne 0 ]; then
    echo "measure: the game exited with $status"
    cat "$work/stats.log"
    exit 1
fi

stats="$(grep '^kelto: .* frames presented' "$work/stats.log")"
rate="$(sed -E 's/.*: ([0-9.]+) per second$/\1/' <<< "$stats")"
ticks_per_second="$(getconf CLK_TCK)"
awk -v rate="$rate" -v ticks="$((end_ticks - start_ticks))" -v hz="$ticks_per_second" \
    -v start="$start_time" -v end="$end_time" -v stats="$stats" '
BEGIN {
    wall = end - start
    cpu = ticks / hz / wall * 100
    deviation = (rate - 60) / 60 * 100
    printf "%s\n", stats
    printf "frame rate: %.3f per second (%+.3f %% from 60; target within 0.5 %%)\n", rate, deviation
    printf "processor: %.2f s busy in %.2f s of wall time after the first %d s: %.1f %% of one core (target at most 5 %%)\n",
           ticks / hz, wall, '"$warm_up"', cpu
    ok = (deviation < 0.5 && deviation > -0.5 && cpu <= 5)
    print ok ? "measure: both targets met" : "measure: a target was missed"
    exit ok ? 0 : 1
}'
