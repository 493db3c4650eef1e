#!/usr/bin/env bash
# Serves the browser build (build/web, made by scripts/build.sh web) on this machine only and
# prints its address. Options for the game go in the address: ?classic, ?health=50.
# Usage: scripts/serve.sh [port]   (default 8640)
set -euo pipefail
cd "$(dirname "$0")/.."
port="${1:-8640}"
if [ ! -f build/web/kelto.js ]; then
    echo "serve: no browser build yet; run scripts/build.sh web first" >&2
    exit 1
fi
echo "Kelto is at http://127.0.0.1:$port/ (Ctrl+C stops the server)"
exec python3 -m http.server "$port" --bind 127.0.0.1 --directory build/web
