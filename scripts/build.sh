#!/usr/bin/env bash
# Configures and builds one preset: default (the default), sanitize, or web (the browser build,
# with Emscripten, into build/web).
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-default}"
# Debian's Emscripten runs its JavaScript tools on the system's Node.js modules.
# Emscripten's compiler is not one ccache knows, and it keeps its own cache of the system
# libraries.
if [ "$preset" = web ]; then
    export NODE_PATH="${NODE_PATH:-/usr/share/nodejs}"
    unset CMAKE_C_COMPILER_LAUNCHER CMAKE_CXX_COMPILER_LAUNCHER
fi
cmake --preset "$preset" > /dev/null
cmake --build --preset "$preset" -j "$(nproc)"
