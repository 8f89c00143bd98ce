#!/usr/bin/env bash
# Sets up (packages, configure, build) and runs the whole test suite under Wine.
set -euo pipefail
top=$(cd "$(dirname "$0")" && pwd)
"$top/cmake/setup.sh"
cd "${QUILLON_BUILD:-$top/build}"
exec ctest --output-on-failure -j"$(nproc)" "$@"
