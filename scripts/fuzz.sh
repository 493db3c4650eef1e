#!/usr/bin/env bash
# Builds the libFuzzer targets (the fuzz preset, clang) and runs each on a working copy of its
# committed seed corpus and the seeds it writes itself (--write-seeds; the start-up targets'
# seeds are whole sets of pictures, too large to commit), failing on the first crash, leak,
# sanitizer report or timeout.
#   scripts/fuzz.sh [seconds-per-target]   (default 60)
#   scripts/fuzz.sh smoke                  about 10 seconds each (5 for start-up), for CI
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-60}"
smoke=0
if [ "$seconds" = "smoke" ]; then
    seconds=10
    smoke=1
fi
if ! [[ "$seconds" =~ ^[0-9]+$ ]] || [ "$seconds" -lt 1 ]; then
    echo "usage: scripts/fuzz.sh [seconds-per-target | smoke]" >&2
    exit 2
fi

cmake --preset fuzz > /dev/null
cmake --build --preset fuzz -j 2 --target fuzz_targets

build=build/fuzz
# Each fuzzer runs on one core: the targets run side by side, one per core, and report in
# order as each finishes.
jobs="$(nproc)"

# Runs one target for its time; its verdict goes to $build/<target>.verdict.
fuzz_one() {
    local target="$1" corpus="fuzz/corpus/$1/" binary="$build/fuzz/$1"
    local verdict="$build/$target.verdict"
    if [ ! -x "$binary" ]; then
        echo "fuzz: no binary for $target" > "$verdict"
        return 1
    fi
    # Runs grow their own corpus in the build tree; the committed seeds stay as they are.
    local work="$build/corpus-work/$target" artifacts="$build/artifacts/$target"
    mkdir -p "$work" "$artifacts"
    cp -n "$corpus"* "$work"/ 2>/dev/null || true
    "$binary" --write-seeds="$work" > /dev/null
    # The whole start-up takes a set of four pictures of up to several megabytes.
    local options=() run_seconds="$seconds"
    if [[ "$target" == FuzzStartup* ]]; then
        options=( -max_len=4194304 )
        [ "$smoke" -eq 1 ] && run_seconds=5
    fi
    local log="$build/$target.log"
    echo "fuzz: $target for ${run_seconds}s"
    if "$binary" "$work" -max_total_time="$run_seconds" -timeout=10 -rss_limit_mb=2048 "${options[@]}" \
        -artifact_prefix="$artifacts/" -print_final_stats=1 > "$log" 2>&1; then
        local runs
        runs="$(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo '?')"
        echo "fuzz: $target passed, $runs executions" > "$verdict"
    else
        {
            echo "fuzz: $target FAILED; its report follows (artifacts in $artifacts)"
            grep -v '^#[0-9]' "$log" | tail -40
        } > "$verdict"
        return 1
    fi
}

status=0
running=0
for source in fuzz/Fuzz*.cpp; do
    target="$(basename "$source" .cpp)"
    rm -f "$build/$target.verdict"
    if [ "$running" -ge "$jobs" ]; then
        wait -n || status=1
        running=$((running - 1))
    fi
    fuzz_one "$target" &
    running=$((running + 1))
done
while [ "$running" -gt 0 ]; do
    wait -n || status=1
    running=$((running - 1))
done
for source in fuzz/Fuzz*.cpp; do
    verdict="$build/$(basename "$source" .cpp).verdict"
    if grep -q "^fuzz: .* passed" "$verdict" 2> /dev/null; then
        cat "$verdict"
    else
        cat "$verdict" >&2 2> /dev/null || echo "fuzz: no verdict from $(basename "$source" .cpp)" >&2
        status=1
    fi
done
exit "$status"
