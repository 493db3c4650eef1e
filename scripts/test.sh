#!/usr/bin/env bash
# Sets up, builds and runs the whole test suite: the default build's tests, a short run of
# each fuzz target, then every test again under the sanitizers (ASan and UBSan), among them
# the short soak and the end-to-end runs of the real program under Xvfb. Between the two, the
# Debian package is built and checked, and the browser build is played in headless Chromium.
set -euo pipefail
cd "$(dirname "$0")/.."

# The tests run in homes of their own; at the end the player's own settings and pictures
# must be as they were.
own_files() {
    local config="${XDG_CONFIG_HOME:-$HOME/.config}/kelto" pictures="${XDG_PICTURES_DIR:-$HOME/Pictures}"
    {
        [ -d "$config" ] && find "$config" -type f -exec sha256sum {} +
        [ -d "$pictures" ] && find "$pictures" -maxdepth 1 -name 'kelto-*'
    } 2> /dev/null | sort
    echo "settings folder: $([ -e "$config" ] && echo present || echo absent)"
}
before="$(own_files)"
check_own_files() {
    if [ "$(own_files)" != "$before" ]; then
        echo "test.sh: the tests changed your own settings or pictures:" >&2
        diff <(echo "$before") <(own_files) >&2
        exit 1
    fi
}
trap check_own_files EXIT

scripts/setup.sh
scripts/build.sh default
ctest --preset default -j 2
scripts/package.sh
scripts/build.sh web
scripts/browser-test.sh
scripts/fuzz.sh smoke
scripts/build.sh sanitize
ctest --preset sanitize -j 2
