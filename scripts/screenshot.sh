#!/usr/bin/env bash
# Takes a screenshot of Tipvault on a virtual 1024x768 screen: scripts/screenshot.sh [FILE]
# (shot.png by default). Installs what is missing and builds the program first.
set -euo pipefail
out=$(realpath -m "${1:-shot.png}")
cd "$(dirname "$0")/.."
. scripts/common.sh

scripts/deps.sh xvfb xauth imagemagick
check_build_dirs build
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build --target tipvault sample_bases
xvfb-run -a -s "-screen 0 1024x768x24" \
  sh -c 'build/bin/tipvault & sleep 5; import -window root "$1"; kill $!' sh "$out"
echo "$out"
