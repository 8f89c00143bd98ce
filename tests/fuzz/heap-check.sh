#!/usr/bin/env bash
# Runs a program under Wine with heap checking on (every heap call validates its block)
# and fails when Wine reports anything about the heap.
#   heap-check.sh <wine-run.sh> <program> [arguments...]
set -u
runner=$1
shift
log=$(mktemp)
trap 'rm -f "$log"' EXIT
WINEDEBUG=warn+heap "$runner" "$@" 2>"$log"
status=$?
grep -v -e '^fixme:' -e '^err:ole:' "$log" | head -n 50 >&2
if grep -q -e 'err:heap' -e 'warn:heap' "$log"; then
  echo "heap-check: Wine reported heap errors:" >&2
  grep -m 20 -e 'err:heap' -e 'warn:heap' "$log" >&2
  exit 1
fi
exit $status
