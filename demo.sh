#!/usr/bin/env bash
# Sets up (packages, configure, build), registers Quillon.DLL in a private Wine prefix
# with regsvr32 and runs the example scripts with cscript.
set -euo pipefail
top=$(cd "$(dirname "$0")" && pwd)
"$top/cmake/setup.sh"
build="${QUILLON_BUILD:-$top/build}"
run="$build/wine-run.sh"
echo "== Registering Quillon.DLL (regsvr32) =="
"$top/tests/support/register-dll.sh" "$build" "$build/Quillon.DLL"
for script in "$top/examples/object-state.vbs"; do
  echo "== $(basename "$script") =="
  "$run" cscript //nologo "$("$run" winepath -w "$script" 2>/dev/null | tr -d '\r')" 2>/dev/null |
    tr -d '\r'
done
