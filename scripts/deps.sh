#!/usr/bin/env bash
# Installs the Debian packages the build needs, only when some are missing.
# Usage: scripts/deps.sh [--tests] [extra-package ...]
#   (nothing)  what building and running the program needs
#   --tests    also what the tests, fuzz targets and benchmarks build with or call
# As root it installs them; as another user it uses sudo when there is one, and otherwise prints
# the one line to run as root. Recommended packages are never pulled in.
set -euo pipefail
. "$(dirname "$0")/common.sh"

# SQLite gives tvdump its SQLite output.
packages=(g++ cmake ninja-build qt6-base-dev libx11-dev libsqlite3-dev fonts-liberation2)
if [ "${1:-}" = --tests ]; then
  shift
  # GoogleTest; clang's libFuzzer; an independent dBASE reader; the PDF tools the report tests
  # read printed pages with; the validators of the installed desktop entry and AppStream data.
  packages+=(libgtest-dev clang libclang-rt-14-dev libdbd-xbase-perl poppler-utils
             desktop-file-utils appstream)
  # The sources of the locales, from which a test makes one with a decimal comma.
  packages+=(locales)
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

install=(apt-get install -y --no-install-recommends "${missing[@]}")
if [ "$(id -u)" -eq 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
elif command -v sudo >/dev/null 2>&1 && echo "Installing with sudo: ${missing[*]}" &&
     sudo apt-get update -qq && sudo "${install[@]}"; then
  :
else
  echo "These packages are missing: ${missing[*]}" >&2
  echo "Install them as root, then run this again:" >&2
  # Without package lists (a fresh system), apt-get must fetch them first.
  if ls /var/lib/apt/lists/*_Packages* >/dev/null 2>&1; then
    echo "  su -c \"${install[*]}\"" >&2
  else
    echo "  su -c \"apt-get update && ${install[*]}\"" >&2
  fi
  exit 1
fi
