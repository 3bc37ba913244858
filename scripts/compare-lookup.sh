#!/usr/bin/env bash
# Checks that a Windows lexforge under Wine offers exactly what the native one offers, byte for byte.
# Usage: compare-lookup.sh [--typed-only] NATIVE_LEXFORGE WINDOWS_LEXFORGE_EXE DICTIONARY PREFIX...
# --typed-only compares only the letter-by-letter lookups (which pass through every prefix), for builds
# whose every process start is slow.
set -u
modes=("" --typed)
if [ "${1:-}" = --typed-only ]; then
  modes=(--typed)
  shift
fi
native=$1 windows=$2 dict=$3
shift 3
here=$(dirname "$0")
status=0
for prefix in "$@"; do
  for mode in "${modes[@]}"; do
    expected=$("$native" lookup "$dict" "$prefix" $mode; echo "exit $?")
    actual=$("$here/wine-run.sh" "$windows" lookup "$dict" "$prefix" $mode; echo "exit $?")
    if [ "$expected" != "$actual" ]; then
      echo "lookup $prefix $mode differs:"
      diff <(printf '%s\n' "$expected") <(printf '%s\n' "$actual") | head -20
      status=1
    fi
  done
done
[ $status -eq 0 ] && echo "same output for: $*"
exit $status
