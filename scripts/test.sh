#!/usr/bin/env bash
# Sets up, builds and runs the whole test suite: the default build's tests, a short run of
# each fuzz target, then every test again under the sanitizers (ASan and UBSan), among them
# the short soak and the end-to-end runs of the real program under Xvfb. Between the two, the
# Debian package is built and checked, and the browser build is played in headless Chromium.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh default
ctest --preset default -j 2
scripts/package.sh
scripts/build.sh web
scripts/browser-test.sh
scripts/fuzz.sh smoke
scripts/build.sh sanitize
ctest --preset sanitize -j 2
