#!/usr/bin/env bash
# Sets up (packages, configure, build) and runs the whole test suite under Wine.
set -euo pipefail
top=$(cd "$(dirname "$0")" && pwd)
"$top/cmake/setup.sh" || {
  status=$?
  echo "test.sh: setting up failed (exit status $status); fix the error above and run again." >&2
  exit $status
}
cd "${QUILLON_BUILD:-$top/build}"
exec ctest --output-on-failure -j"$(nproc)" "$@"
