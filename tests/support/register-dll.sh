#!/usr/bin/env bash
# Makes the build tree's Wine prefix (first use takes seconds) and registers the DLL in it
# with the real regsvr32, as an administrator would. Also registers the test helpers.
set -euo pipefail
build=${1:?build dir}
shift
run="$build/wine-run.sh"
# Make the prefix completely before anything else runs in it: a prefix whose set-up is
# interrupted or raced lacks the script engines' registrations.
"$run" wineboot -i >/dev/null 2>&1
WINEPREFIX="${WINEPREFIX:-$build/wineprefix}" wineserver -w
for dll in "$@"; do
  path=$("$run" winepath -w "$dll" 2>/dev/null | tr -d '\r')
  "$run" regsvr32 /s "$path"
  echo "registered $path"
done
