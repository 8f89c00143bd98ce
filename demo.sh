#!/usr/bin/env bash
# The guided tour: sets up (packages, configure, build), starts a local directory with a
# sample organisation, registers Quillon.DLL in a private Wine prefix with regsvr32, runs
# examples/tour.vbs with cscript (search, add with a photo, modify, rename, delete), and
# stops the directory again. Nothing is left running. A failed step is named on exit.
#   ./demo.sh --pages   serves examples/asp with the page host against that directory
#                       instead of the tour, prints the address, and stops both on Ctrl-C
#                       (QUILLON_PAGES_PORT picks the port; by default a free one).
set -euo pipefail
pages=
[ "${1:-}" = --pages ] && pages=1
host_pid=
top=$(cd "$(dirname "$0")" && pwd)
build="${QUILLON_BUILD:-$top/build}"
run="$build/wine-run.sh"
directory="$build/demo-directory"
step="setting up (cmake/setup.sh: packages, configure, build)"
hint="Fix the error shown above and run ./demo.sh again."
finish() {
  local status=$?
  [ -n "$host_pid" ] && { kill "$host_pid" 2>/dev/null || true; wait "$host_pid" 2>/dev/null || true; }
  "$top/tests/support/slapd.sh" stop "$directory" || true
  [ -x "$run" ] && { "$run" --wineserver -k 2>/dev/null || true; }
  if [ $status -ne 0 ]; then
    echo "demo.sh: failed while $step (exit status $status)." >&2
    echo "$hint" >&2
  fi
}
trap finish EXIT

"$top/cmake/setup.sh"

echo "== Starting a local directory (slapd) with the sample organisation =="
step="starting slapd"
hint="See $directory/slapd.log; cmake/install-deps.sh installs slapd."
"$top/tests/support/slapd.sh" start "$directory" "$top/examples/directory.ldif"
port=$(cat "$directory/port")

echo "== Registering Quillon.DLL with regsvr32 in $build/wineprefix =="
step="registering Quillon.DLL"
hint="The messages above say which Wine command failed and how to see why."
"$top/tests/support/register-dll.sh" "$build" "$build/Quillon.DLL"

if [ -n "$pages" ]; then
  step="starting the page host (build/pagehost/QuillonPageHost.exe)"
  hint="The host's messages above say why; cmake/setup.sh builds it."
  winpath() { WINEDEBUG=-all "$run" winepath -w "$1" 2>/dev/null | tr -d '\r'; }
  port_file="$directory/pagehost-port"
  rm -f "$port_file"
  "$run" "$build/pagehost/QuillonPageHost.exe" --root "$(winpath "$top/examples/asp")" \
    --port "${QUILLON_PAGES_PORT:-0}" --port-file "$(winpath "$port_file")" \
    --set LdapServer=127.0.0.1 --set LdapPort="$port" &
  host_pid=$!
  for _ in $(seq 600); do [ -s "$port_file" ] && break; kill -0 "$host_pid" 2>/dev/null || exit 1; sleep 0.1; done
  [ -s "$port_file" ] || exit 1
  address="http://127.0.0.1:$(tr -d '\r\n ' <"$port_file")"
  echo "== The example pages are at $address/ (for instance $address/search.asp?q=P)"
  echo "   Ctrl-C stops the page host and the directory."
  step="serving the pages"
  trap 'exit 0' INT TERM
  wait "$host_pid" || true
  host_pid=""
  exit 0
fi

echo "== examples/tour.vbs =="
step="running examples/tour.vbs with cscript"
script=$(WINEDEBUG=-all "$run" winepath -w "$top/examples/tour.vbs" 2>/dev/null | tr -d '\r')
output=$("$run" cscript //nologo "$script" 127.0.0.1 "$port" 2>/dev/null | tr -d '\r')
printf '%s\n' "$output"
# cscript under Wine exits 0 and says nothing when a script stops on an error: the tour's
# last line shows that it ran to its end.
if [ "$(tail -n 1 <<<"$output")" != "$(tail -n 1 "$top/tests/examples/tour.vbs.expected")" ]; then
  hint="The tour stopped early. Run it again with WINEDEBUG=+vbscript to see the failing call:
  WINEDEBUG=+vbscript $run cscript //nologo '$script' 127.0.0.1 <port>"
  exit 1
fi
step="finishing"
echo "== Done. Every script in examples/ runs the same way against a directory:"
echo "   cscript //nologo examples/search.vbs <host> <port>"
