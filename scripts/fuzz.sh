#!/usr/bin/env bash
# Builds the libFuzzer targets (the fuzz preset, clang) and runs each on a working copy of its
# committed seed corpus and the seeds it writes itself (--write-seeds; the start-up targets'
# seeds are whole sets of pictures, too large to commit), failing on the first crash, leak,
# sanitizer report or timeout.
#   scripts/fuzz.sh [seconds-per-target]   (default 60)
#   scripts/fuzz.sh smoke                  about 20 seconds each (10 for start-up), for CI
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-60}"
smoke=0
if [ "$seconds" = "smoke" ]; then
    seconds=20
    smoke=1
fi
if ! [[ "$seconds" =~ ^[0-9]+$ ]] || [ "$seconds" -lt 1 ]; then
    echo "usage: scripts/fuzz.sh [seconds-per-target | smoke]" >&2
    exit 2
fi

cmake --preset fuzz > /dev/null
cmake --build --preset fuzz -j 2 --target fuzz_targets

build=build/fuzz
status=0
for source in fuzz/Fuzz*.cpp; do
    target="$(basename "$source" .cpp)"
    corpus="fuzz/corpus/$target/"
    binary="$build/fuzz/$target"
    if [ ! -x "$binary" ]; then
        echo "fuzz: no binary for $target" >&2
        status=1
        continue
    fi
    # Runs grow their own corpus in the build tree; the committed seeds stay as they are.
    work="$build/corpus-work/$target"
    artifacts="$build/artifacts/$target"
    mkdir -p "$work" "$artifacts"
    cp -n "$corpus"* "$work"/ 2>/dev/null || true
    "$binary" --write-seeds="$work" > /dev/null
    # The whole start-up takes a set of four pictures of up to several megabytes.
    options=()
    run_seconds="$seconds"
    if [[ "$target" == FuzzStartup* ]]; then
        options=( -max_len=4194304 )
        [ "$smoke" -eq 1 ] && run_seconds=10
    fi
    log="$build/$target.log"
    echo "fuzz: $target for ${run_seconds}s"
    if "$binary" "$work" -max_total_time="$run_seconds" -timeout=10 -rss_limit_mb=2048 "${options[@]}" \
        -artifact_prefix="$artifacts/" -print_final_stats=1 > "$log" 2>&1; then
        runs="$(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo '?')"
        echo "fuzz: $target passed, $runs executions"
    else
        echo "fuzz: $target FAILED; its report follows (artifacts in $artifacts)" >&2
        grep -v '^#[0-9]' "$log" | tail -40 >&2
        status=1
    fi
done
exit "$status"
