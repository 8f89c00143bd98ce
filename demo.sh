#!/usr/bin/env bash
# The guided tour: sets up (packages, configure, build), starts a local directory with a
# sample organisation, registers Quillon.DLL in a private Wine prefix with regsvr32, runs
# examples/tour.vbs with cscript (search, add with a photo, modify, rename, delete), and
# stops the directory again. Nothing is left running.
set -euo pipefail
top=$(cd "$(dirname "$0")" && pwd)
"$top/cmake/setup.sh"
build="${QUILLON_BUILD:-$top/build}"
run="$build/wine-run.sh"
directory="$build/demo-directory"
stop() {
  "$top/tests/support/slapd.sh" stop "$directory"
  WINEPREFIX="$build/wineprefix" wineserver -k 2>/dev/null || true
}
trap stop EXIT

echo "== Starting a local directory (slapd) with the sample organisation =="
"$top/tests/support/slapd.sh" start "$directory" "$top/examples/directory.ldif"
port=$(cat "$directory/port")
echo "== Registering Quillon.DLL with regsvr32 in $build/wineprefix =="
"$top/tests/support/register-dll.sh" "$build" "$build/Quillon.DLL"
echo "== examples/tour.vbs =="
"$run" cscript //nologo "$("$run" winepath -w "$top/examples/tour.vbs" 2>/dev/null | tr -d '\r')" \
  127.0.0.1 "$port" 2>/dev/null | tr -d '\r'
echo "== Done. Every script in examples/ runs the same way against a directory:"
echo "   cscript //nologo examples/search.vbs <host> <port>"
