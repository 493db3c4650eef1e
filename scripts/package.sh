#!/usr/bin/env bash
# Builds the Debian package kelto_<version>_amd64.deb in build/package/package/ from a release
# build of the game alone (no tests, benchmarks or tools), then checks it: its control data and
# contents (dpkg-deb) and Debian's policy checks (lintian, which must report no errors).
# Installing it is a separate step, since that changes the machine:
#     sudo apt-get install ./build/package/package/kelto_*_amd64.deb
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
# Debian's hardening flags, as a package built by its own tools would have.
export CXXFLAGS="$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get CXXFLAGS)"
export LDFLAGS="$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get LDFLAGS)"
cmake -S . -B build/package -DCMAKE_BUILD_TYPE=Release -DKELTO_TESTS=OFF -DKELTO_BENCH=OFF \
    -DKELTO_INSTALL_BINDIR=games > /dev/null
cmake --build build/package -j "$(nproc)" --target kelto_game kelto_relay kelto_dist > /dev/null
(cd build/package && cpack -G DEB > /dev/null)
deb="$(ls build/package/package/kelto_*_amd64.deb)"
dpkg-deb --info "$deb" > /dev/null
contents="$(dpkg-deb --contents "$deb")"
for path in ./usr/games/kelto ./usr/games/kelto-relay ./usr/lib/systemd/system/kelto-relay.service ./usr/share/kelto/land.bmp ./usr/share/applications/kelto.desktop \
            ./usr/share/icons/hicolor/256x256/apps/kelto.png ./usr/share/metainfo/kelto.metainfo.xml \
            ./usr/share/man/man6/kelto.6.gz ./usr/share/doc/kelto/copyright; do
    grep -q " $path\$" <<< "$contents" || { echo "package: $deb lacks $path"; exit 1; }
done
# lintian fails on errors only; its warnings are shown (and explained in the README).
if ! lintian --fail-on error --display-level ">=warning" "$deb" 2> >(grep -v "root privileges" >&2); then
    echo "package: lintian found errors in $deb"
    exit 1
fi
echo "package: $deb built and checked"
