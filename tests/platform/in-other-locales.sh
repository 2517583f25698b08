#!/usr/bin/env bash
# in-other-locales.sh TEST...: runs each Qt test program in a German and in a Turkish locale,
# as a user's settings hand them to the program (Qt sets the C library's locale from them):
# numbers take a decimal comma, and the capital of "i" is not "I". The locales are made for
# the run, so none need be installed; without Debian's locale sources the check is skipped.
set -uo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
locales=(de_DE tr_TR)
for loc in "${locales[@]}"; do
  localedef -i "$loc" -f UTF-8 "$work/$loc.UTF-8" >/dev/null 2>&1
  if [ ! -d "$work/$loc.UTF-8" ]; then
    echo "cannot make the $loc.UTF-8 locale (Debian's locales package)"
    exit 77
  fi
done
fail=0
for loc in "${locales[@]}"; do
  for test in "$@"; do
    if ! LOCPATH=$work LC_ALL=$loc.UTF-8 LANG=$loc.UTF-8 QT_QPA_PLATFORM=offscreen "$test" > "$work/out.txt" 2>&1; then
      echo "FAIL $(basename "$test") in $loc.UTF-8"
      grep -E "FAIL|Loc:|Actual|Expected" "$work/out.txt" | head -20
      fail=1
    fi
  done
done
exit $fail
