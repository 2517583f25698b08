#!/usr/bin/env bash
# run-fuzz.sh FUZZER SECONDS SAMPLES_DIR|- [EXTRA_CORPUS]: runs one fuzz target seeded with the samples.
set -euo pipefail
fuzzer=$1; seconds=$2; samples=$3; extra=${4:-}
[ -n "${TV_LONG_TESTS:-}" ] && seconds=$((4 * 3600))
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Seed with every sample file ("-": none); the target decides what it can use.
if [ "$samples" != - ]; then
  find "$samples" -type f ! -name '*.tsv' ! -name 'LICENSE' -exec cp {} "$work/" \; 2>/dev/null || true
fi
dirs=("$work")
[ -n "$extra" ] && [ -d "$extra" ] && dirs+=("$extra")
cd "$work"
exec "$fuzzer" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 -max_len=262144 "${dirs[@]}"
