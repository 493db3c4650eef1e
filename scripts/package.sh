#!/usr/bin/env bash
# Builds the Debian package kelto_<version>_amd64.deb in build/package/package/ from a release
# build of the game alone (no tests, benchmarks or tools), then checks it: its control data and
# contents (dpkg-deb) and Debian's policy checks (lintian, which must report no errors and no
# warnings).
# Installing it is a separate step, since that changes the machine:
#     sudo apt-get install ./build/package/package/kelto_*_amd64.deb
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
# Debian's hardening flags, as a package built by its own tools would have. CMake reads no
# CPPFLAGS, so the preprocessor's (_FORTIFY_SOURCE, for the checked string and memory
# functions) go in with the compiler's, as debhelper does it.
# They are given on the command line, not through the environment, so that a build folder
# configured before with other flags takes these.
flags() { DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get "$1"; }
cmake -S . -B build/package -DCMAKE_BUILD_TYPE=Release -DKELTO_TESTS=OFF -DKELTO_BENCH=OFF \
    -DCMAKE_CXX_FLAGS="$(flags CPPFLAGS) $(flags CXXFLAGS)" -DCMAKE_C_FLAGS="$(flags CPPFLAGS) $(flags CFLAGS)" \
    -DCMAKE_EXE_LINKER_FLAGS="$(flags LDFLAGS)" \
    -DKELTO_INSTALL_BINDIR=games > /dev/null
cmake --build build/package -j "$(nproc)" --target kelto_game kelto_relay kelto_referee kelto_dist > /dev/null
(cd build/package && cpack -G DEB > /dev/null)
deb="$(ls build/package/package/kelto_*_amd64.deb)"
dpkg-deb --info "$deb" > /dev/null
contents="$(dpkg-deb --contents "$deb")"
for path in ./usr/games/kelto ./usr/games/kelto-relay ./usr/libexec/kelto/kelto-referee ./usr/lib/systemd/system/kelto-relay.service \
            ./usr/share/kelto/land.bmp ./usr/share/applications/kelto.desktop \
            ./usr/share/icons/hicolor/256x256/apps/kelto.png ./usr/share/metainfo/io.github.kelto.kelto.metainfo.xml \
            ./usr/share/man/man6/kelto.6.gz ./usr/share/doc/kelto/copyright; do
    grep -q " $path\$" <<< "$contents" || { echo "package: $deb lacks $path"; exit 1; }
done
# lintian fails on errors and on warnings alike: the package has none.
if ! lintian --fail-on error,warning --display-level ">=warning" "$deb" 2> >(grep -v "root privileges" >&2); then
    echo "package: lintian found errors or warnings in $deb"
    exit 1
fi
# The checked functions are really in the program (__snprintf_chk and the like), not only asked
# for; the stack protector's __stack_chk_fail comes without _FORTIFY_SOURCE, so it does not count.
dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/games/kelto > build/package/kelto-installed
if ! nm -D build/package/kelto-installed | grep "_chk@" | grep -v "__stack_chk_fail@" | grep -q .; then
    echo "package: the program in $deb uses none of the checked (fortified) functions"
    exit 1
fi
echo "package: $deb built and checked"
