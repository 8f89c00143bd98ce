#!/usr/bin/env bash
# Makes the build tree's Wine prefix (first use takes seconds) and registers the DLL in it
# with the real regsvr32, as an administrator would. Also registers the test helpers.
# Every failure says which step failed and what to try: with WINEDEBUG=-all Wine's own
# loader errors are easy to miss.
set -euo pipefail
source "$(dirname "$0")/system-programs.sh"  # QUILLON_ARCH=x86: the 32-bit regsvr32
build=${1:?build dir}
shift
run="$build/wine-run.sh"
prefix="${WINEPREFIX:-$build/wineprefix}"
log=$(mktemp)
trap 'rm -f "$log"' EXIT

fail() {  # <exit status> <command...>
  local status=$1
  shift
  echo "register-dll.sh: \"$*\" failed (exit status $status) in the Wine prefix $prefix." >&2
  if [ -s "$log" ]; then
    echo "Wine said:" >&2
    tr -d '\r' <"$log" | tail -n 20 | sed 's/^/  /' >&2
  fi
  echo "To see Wine's errors: WINEPREFIX=$prefix WINEDEBUG=err+all $run$(printf ' %q' "$@")" >&2
  echo "If the prefix is damaged, delete it; the next run makes it again." >&2
  exit "$status"
}

# wine-run.sh makes the prefix completely on first use; wait until Wine has also finished
# any update of an existing prefix before registering.
rc=0
"$run" wineboot -i >"$log" 2>&1 || rc=$?
[ $rc -eq 0 ] || fail $rc wineboot -i
grep '^wine-run.sh:' "$log" >&2 || true  # e.g. that the prefix was made again, and why
"$run" --wineserver -w >"$log" 2>&1 || rc=$?
[ $rc -eq 0 ] || fail $rc --wineserver -w
for dll in "$@"; do
  [ -f "$dll" ] || { echo "register-dll.sh: $dll does not exist; build first (cmake/setup.sh)." >&2; exit 1; }
  path=$("$run" winepath -w "$dll" 2>"$log" | tr -d '\r') || rc=$?
  [ $rc -eq 0 ] && [ -n "$path" ] || fail $((rc ? rc : 1)) winepath -w "$dll"
  "$run" "$regsvr32" /s "$path" >"$log" 2>&1 || rc=$?
  [ $rc -eq 0 ] || fail $rc "$regsvr32" /s "$path"
  echo "registered $path"
done

# The script host must be of the DLL's width: a 32-bit cscript (what Wine's `wine` command
# starts once Wine's 32-bit part is installed) cannot load the 64-bit DLL, and every script
# then stops without a word.
probe="$build/script-host-check.vbs"  # kept, so the hint below can be followed
echo 'WScript.Echo "arch=" & Replace(CreateObject("WScript.Shell").ExpandEnvironmentStrings("%PROCESSOR_ARCHITECTURE%"), Chr(0), "")' >"$probe"
arch=$("$run" "$cscript" //nologo "$("$run" winepath -w "$probe" 2>/dev/null | tr -d '\r')" 2>"$log" | tr -d '\r') || rc=$?
if [ "$arch" != "arch=$script_host_arch" ]; then
  echo "register-dll.sh: $cscript in $prefix is not the $script_host_arch script host (it said \"$arch\")." >&2
  echo "It would not load the DLL. $run must start Wine's 64-bit loader (wine64)." >&2
  fail $((rc ? rc : 1)) "$cscript" //nologo "$probe"
fi
