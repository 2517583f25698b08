#!/usr/bin/env bash
# Builds the Debian package of Tipvault into build/ (tipvault_VERSION_ARCH.deb). Install it with
#   sudo apt-get install ./build/tipvault_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."

# dpkg-shlibdeps (dpkg-dev) and file work out the package's library dependencies; SQLite gives
# tvdump its SQLite output.
scripts/deps.sh dpkg-dev file libsqlite3-dev
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build
cd build
cpack -G DEB
