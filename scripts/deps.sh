#!/usr/bin/env bash
# Installs the Debian packages the build needs, only when some are missing.
# Usage: scripts/deps.sh [--tests] [extra-package ...]
#   (nothing)  what building and running the program needs
#   --tests    also what the tests, fuzz targets and benchmarks build with or call
set -euo pipefail

packages=(g++ cmake ninja-build qt6-base-dev libx11-dev fonts-liberation2)
if [ "${1:-}" = --tests ]; then
  shift
  # GoogleTest; SQLite for the benchmark's side-by-side figures; clang's libFuzzer; an
  # independent dBASE reader; the PDF tools the report tests read printed pages with; the
  # validators of the installed desktop entry and AppStream data.
  packages+=(libgtest-dev libsqlite3-dev clang libclang-rt-14-dev libdbd-xbase-perl poppler-utils
             desktop-file-utils appstream)
  # The sample check compares dumps with a Python script; any python3 on the PATH will do.
  command -v python3 >/dev/null 2>&1 || packages+=(python3)
fi
packages+=("$@")

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages: ${missing[*]}" >&2
  echo "Install them with: sudo apt-get update && sudo apt-get install -y ${missing[*]}" >&2
  exit 1
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
