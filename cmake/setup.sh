#!/usr/bin/env bash
# Everything a fresh machine needs before the demo or the tests: the Debian packages
# (skipping those present), then configure and build in build/.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/cmake/install-deps.sh"
build="${QUILLON_BUILD:-$top/build}"
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$top" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchain-mingw64.cmake" >/dev/null || {
    echo "setup.sh: configuring $build failed (see above); delete $build and run again." >&2
    exit 1
  }
fi
cmake --build "$build" -j"$(nproc)" 2>&1 | grep -vE '^\[ *[0-9]+%\]|^(gmake|make)\[' || true
# A failed build leaves no DLL behind the grep; say so plainly.
cmake --build "$build" -j"$(nproc)" >/dev/null || {
  echo "setup.sh: building in $build failed (the compiler's messages are above)." >&2
  exit 1
}
