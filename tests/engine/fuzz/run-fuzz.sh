#!/usr/bin/env bash
# run-fuzz.sh FUZZER RUNS SEED SAMPLES_DIR|- [EXTRA_CORPUS]: runs one fuzz target seeded with the
# samples, RUNS inputs from the random seed SEED; with TV_LONG_TESTS set, for hours from a
# random seed instead.
set -euo pipefail
fuzzer=$1; runs=$2; seed=$3; samples=$4; extra=${5:-}
if [ -n "${TV_LONG_TESTS:-}" ]; then
  limits=(-max_total_time=$((4 * 3600)))
else
  limits=(-runs="$runs" -seed="$seed")
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Seed with every sample table, each under a name of its own ("-": none); the target decides
# what it can use.
if [ "$samples" != - ]; then
  while IFS= read -r f; do
    rel=${f#"$samples/"}
    cp "$f" "$work/${rel//\//_}"
  done < <(find "$samples" -type f ! -path "$samples/expected/*" ! -name LICENSE | sort)
fi
dirs=("$work")
[ -n "$extra" ] && [ -d "$extra" ] && dirs+=("$extra")
cd "$work"
# The per-input time limit only catches hangs: it is generous, as the machine may be busy.
"$fuzzer" "${limits[@]}" -rss_limit_mb=2048 -timeout=60 -max_len=262144 "${dirs[@]}"
