#!/usr/bin/env bash
# Configures and builds one preset: default (the default), sanitize, or web (the browser build,
# with Emscripten, into build/web).
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-default}"
# Debian's Emscripten runs its JavaScript tools on the system's Node.js modules.
[ "$preset" = web ] && export NODE_PATH="${NODE_PATH:-/usr/share/nodejs}"
cmake --preset "$preset" > /dev/null
cmake --build --preset "$preset" -j "$(nproc)"
