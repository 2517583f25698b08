#!/usr/bin/env bash
# Installs what is missing, builds the program and its sample bases, and starts Tipvault on them.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/common.sh

scripts/deps.sh
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  scripts/deps.sh xvfb xauth >/dev/null || true
fi
check_build_dirs build
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build --target tipvault sample_bases

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: start it with  xvfb-run -a ./run.sh  (or from a desktop session)." >&2
  exit 2
fi
exec build/bin/tipvault "$@"
