#!/usr/bin/env bash
# Sets up, builds and runs the whole test suite: the default build, then the sanitizer build
# (ASan and UBSan) with the short soak and fuzz smoke runs.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh default
ctest --preset default -j 2
scripts/build.sh sanitize
ctest --preset sanitize -j 2
