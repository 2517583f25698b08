#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite.
#   ./test.sh             the normal build, then a fixed number of inputs through each fuzz target
#   ./test.sh --sanitize  the whole suite built with AddressSanitizer + UndefinedBehaviorSanitizer
#   ./test.sh --long      also runs the long modes (random fuzzing and the crash harness for hours)
set -euo pipefail
cd "$(dirname "$0")"
. scripts/common.sh

mode=normal
for a in "$@"; do
  case "$a" in
    --sanitize) mode=sanitize ;;
    --long) export TV_LONG_TESTS=1 ;;
    *) echo "usage: ./test.sh [--sanitize] [--long]" >&2; exit 2 ;;
  esac
done

scripts/deps.sh --tests
if [ "$mode" = sanitize ]; then check_build_dirs build-asan; else check_build_dirs build build-fuzz; fi
jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
export CTEST_OUTPUT_ON_FAILURE=1

if [ "$mode" = sanitize ]; then
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp"
  cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTV_TESTS=ON -DTV_SANITIZE=ON >/dev/null
  cmake --build build-asan -j "$jobs"
  ctest --test-dir build-asan -j "$jobs" -LE "fuzz|bench"
  exit 0
fi

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DTV_TESTS=ON >/dev/null
cmake --build build -j "$jobs"
ctest --test-dir build -j "$jobs" -LE "fuzz|bench"

# The file readers' fuzz targets need clang's libFuzzer; they build the engine alone.
if command -v clang++ >/dev/null; then
  configure_fuzz() {
    CC=$(command -v clang) CXX=$(command -v clang++) cmake -S . -B build-fuzz -G Ninja \
      -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTV_GUI=OFF -DTV_TESTS=ON -DTV_FUZZ=ON >/dev/null
  }
  # A build folder left broken by an interrupted configure is made afresh.
  configure_fuzz || { rm -rf build-fuzz; configure_fuzz; }
  cmake --build build-fuzz -j "$jobs" --target fuzzers
  # (grep reads the whole list: with -q it would stop early, and under pipefail the listing's
  # broken pipe would skip the fuzz runs without a word.)
  if ctest --test-dir build-fuzz -N -L fuzz | grep "Test *#" >/dev/null; then
    ctest --test-dir build-fuzz -j "$jobs" -L fuzz
  fi
fi
