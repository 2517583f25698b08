#!/usr/bin/env bash
# check-samples.sh TVDUMP SAMPLES_DIR: dumps every sample table that has a reference dump and
# compares it with compare.py; tables listed with an .error file or as encrypted must be refused
# with one line on stderr and exit status 1.
set -uo pipefail
tvdump=$1; samples=$2
expected=$samples/expected
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail=0; checked=0
while IFS= read -r ref; do
  rel=${ref#"$expected/"}; rel=${rel%.tsv}
  checked=$((checked + 1))
  if ! "$tvdump" "$samples/$rel" > "$work/out.tsv" 2> "$work/err.txt"; then
    echo "FAIL $rel: $(cat "$work/err.txt")"; fail=1; continue
  fi
  if ! python3 "$expected/compare.py" "$ref" "$work/out.tsv" > "$work/cmp.txt"; then
    echo "FAIL $rel"; head -5 "$work/cmp.txt"; fail=1
  fi
done < <(find "$expected" -name '*.tsv' | sort)
while IFS= read -r err; do
  rel=${err#"$expected/"}; rel=${rel%.error}
  checked=$((checked + 1))
  "$tvdump" "$samples/$rel" > /dev/null 2> "$work/err.txt"; rc=$?
  if [ $rc -ne 1 ] || [ "$(wc -l < "$work/err.txt")" -ne 1 ]; then
    echo "FAIL $rel: expected a one-line refusal, got exit $rc: $(cat "$work/err.txt")"; fail=1
  fi
done < <(find "$expected" -name '*.error' | sort)
for enc in "$samples"/paradox/encrypt/*.db; do
  checked=$((checked + 1))
  "$tvdump" "$enc" > /dev/null 2> "$work/err.txt"; rc=$?
  if [ $rc -ne 1 ] || ! grep -q 'table is encrypted' "$work/err.txt"; then
    echo "FAIL $enc: expected 'table is encrypted', got exit $rc: $(cat "$work/err.txt")"; fail=1
  fi
done
echo "$checked sample files checked"
exit $fail
