#!/usr/bin/env bash
# Where the browser's time goes against the desktop's: the golden timedemo's own time per
# function, per frame, in WebAssembly (the browser build's libraries, run by Node.js's V8 with
# its CPU profiler) and natively (perf's CPU clock samples), a few runs each in turns, with the
# load. Needs build/web (scripts/build.sh web) and build/default's kelto_headless. The
# WebAssembly's functions are those left after the linker's inlining, the desktop's after the
# compiler's, so a pass may go by a caller's name on one side.
# Usage: scripts/profile-web.sh [RUNS] [TOP]   (3 runs, the top 15)
set -euo pipefail
cd "$(dirname "$0")/.."
runs="${1:-3}"
top="${2:-15}"
export NODE_PATH="${NODE_PATH:-/usr/share/nodejs}"
# perf is a profiling tool, not a test's: the set-up leaves it out.
if ! command -v perf > /dev/null; then
    echo "profile-web.sh: needs perf (sudo apt-get install linux-perf)" >&2
    exit 2
fi
cmake --build build/web --target kelto_web_timedemo > /dev/null
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
frames=7200
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
for run in $(seq "$runs"); do
    (cd assets && node --cpu-prof --cpu-prof-interval 50 --cpu-prof-dir "$scratch/web" \
        ../build/web/kelto_timedemo.js --timedemo ../tests/replays/golden.krec)
    (cd assets && perf record -q -e cpu-clock -F 10000 -o "$scratch/native-$run.data" \
        ../build/default/kelto_headless --timedemo ../tests/replays/golden.krec)
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "WebAssembly (Node.js $(node --version)):"
node scripts/profile-web-table.mjs "$frames" "$top" "$scratch"/web/*.cpuprofile
echo "native (the whole process, start-up included):"
for data in "$scratch"/native-*.data; do
    perf report -i "$data" --stdio --sort sym -F period,sym 2> /dev/null | grep -v '^#' | grep -v '^$'
done | awk -v runs="$runs" -v frames="$frames" -v top="$top" '
    { period = $1; $1 = ""; sum[$0] += period; all += period }
    END {
        for (name in sum) printf "%7.2f us/frame %5.1f%% %s\n", sum[name] / runs / frames / 1000, 100 * sum[name] / all, name
        printf "%7.2f us/frame in the whole process, %d runs\n", all / runs / frames / 1000, runs
    }' | sort -rn | head -n "$((top + 1))"
