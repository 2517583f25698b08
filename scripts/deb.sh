#!/usr/bin/env bash
# Builds the Debian package of Tipvault (debian/) with dpkg-buildpackage -us -uc -b, in a copy
# of the source under build/deb/, and leaves the package there. Install it with
#   sudo apt-get install ./build/deb/tipvault_*.deb
# Arguments go to dpkg-buildpackage. Set CMAKE_CXX_COMPILER_LAUNCHER=ccache to build with ccache.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/common.sh

# A Debian package builds with build-essential, debhelper and dpkg-dev on top of the program's
# own build dependencies.
scripts/deps.sh build-essential debhelper dpkg-dev
check_build_dirs build
upstream=$(dpkg-parsechangelog -S Version | sed 's/-[^-]*$//')
out=build/deb
src=$out/tipvault-$upstream
rm -rf "$out"
mkdir -p "$src"
tar --exclude='./build*' --exclude=./.git --exclude='./obj-*' -cf - . | tar -xf - -C "$src"
(cd "$src" && dpkg-buildpackage -us -uc -b "$@")
rm -rf "$src"
ls "$out"/*.deb
