#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only when some are missing.
# Usage: scripts/deps.sh [extra-package ...]
set -euo pipefail

packages=(g++ cmake ninja-build qt6-base-dev libx11-dev fonts-liberation2 libgtest-dev libsqlite3-dev
          clang libclang-rt-14-dev libdbd-xbase-perl "$@")

# The sample check compares dumps with a Python script; any python3 on the PATH will do.
command -v python3 >/dev/null 2>&1 || packages+=(python3)

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
