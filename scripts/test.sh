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

# Each phase says what it cost: wall time, the processor time of everything it ran (user and
# system, which other work on a shared machine does not inflate) and the load it ran under.
# The processor time of this script's finished children, in seconds (/proc/PID/stat's cutime and
# cstime, in clock ticks, counted after the command's name in parentheses).
cpu_seconds() {
    sed 's/.*) //' "/proc/$$/stat" | awk -v tick="$(getconf CLK_TCK)" '{ printf "%d\n", ($14 + $15) / tick }'
}
phase() {
    local name="$1" started="$SECONDS" cpu
    shift
    cpu="$(cpu_seconds)"
    "$@"
    awk -v name="$name" -v wall="$((SECONDS - started))" -v cpu="$(( $(cpu_seconds) - cpu ))" \
        -v load="$(cut -d' ' -f1 /proc/loadavg)" \
        'BEGIN { printf "test.sh: %s %d s (cpu %d s, load %s)\n", name, wall, cpu, load }'
}
# Many tests spend much of their time waiting on the real program's frames under Xvfb and on
# its processes: one more test runs at once than there are cores.
jobs="$(($(nproc) + 1))"
phase setup scripts/setup.sh
# Compiles are cached (ccache) across runs and across clones: paths are taken relative to the
# checkout, so a fresh clone elsewhere finds the objects of an earlier run of the same sources.
# The precompiled test header needs the sloppiness ccache documents for it. The browser build
# goes through Emscripten's own cache instead (scripts/build.sh leaves it out).
if command -v ccache > /dev/null; then
    export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=true
    export CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime
    export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
fi
phase "default build" scripts/build.sh default
phase "default tests" ctest --preset default -j "$jobs"
phase package scripts/package.sh
phase "web build" scripts/build.sh web
phase "browser test" scripts/browser-test.sh
phase "fuzz smoke" scripts/fuzz.sh smoke
phase "sanitize build" scripts/build.sh sanitize
phase "sanitize tests" ctest --preset sanitize -j "$jobs"
echo "test.sh: all $SECONDS s"
