#!/usr/bin/env bash
# Plays the browser build (build/web, made by scripts/build.sh web) in Debian's headless
# Chromium, driven through the DevTools protocol by playwright-core from the npm registry:
# the scene shows, a shot changes it, 60 updates per second hold, Escape ends the game and
# Enter starts another; the golden replays (the bundled pictures, a made land) end on the
# desktop's checksums; with the desktop build there, the page joins an online match the
# desktop's game hosts through kelto-relay and both record it alike; the pixel work's tests
# pass in WebAssembly too. Prints the main thread's time per step, the browser's timedemo
# against the desktop's (seven runs of each, in turns: best against best, median against
# median, and the median of each turn's own ratio), for the page's cold run (the browser
# still compiling the game's code) and its warm one (the same run again), and the download's
# size.
# Usage: scripts/browser-test.sh [--settle SECONDS]   (the wait for the tanks to land; 16)
set -euo pipefail
cd "$(dirname "$0")/.."
if [ ! -f build/web/kelto.js ]; then
    scripts/build.sh web
fi
(cd tests/web && npm ci --no-audit --no-fund --silent)
# The pixel work's tests in WebAssembly, under Node.js: the browser's own vector paths against
# the same pixel-by-pixel references as the desktop's.
if [ ! -f build/web/PixelTests.js ]; then
    echo "browser-test: build/web/PixelTests.js is missing (are the test framework's sources installed?)" >&2
    exit 1
fi
node build/web/PixelTests.js --gtest_brief=1
# The golden replay's checksum on the desktop, when the desktop build is there, for the browser
# to match, and its speed for the browser's to be compared with: from the headless entry,
# which reads no settings and writes nothing in the home.
expect=()
if [ -x build/default/kelto_headless ]; then
    native="cd assets && ../build/default/kelto_headless --timedemo ../tests/replays/golden.krec"
    line="$(sh -c "$native")"
    land="$(cd assets && ../build/default/kelto_headless --timedemo ../tests/replays/land.krec)"
    expect=( --expect-checksum "${line##* }" --native-command "$native" --expect-land-checksum "${land##* }" )
fi
# With the desktop's relay, the page plays an online match against the desktop's game.
if [ -x build/default/kelto-relay ] && [ -x build/default/kelto_headless ]; then
    expect+=( --relay build/default/kelto-relay --headless build/default/kelto_headless --assets assets )
fi
exec node tests/web/BrowserGame.mjs build/web "${expect[@]}" "$@"
