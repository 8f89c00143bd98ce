#!/usr/bin/env bash
# Sets up (packages, configure, build), starts a local directory with a sample
# organisation, registers Quillon.DLL in a private Wine prefix with regsvr32, runs the
# example scripts with cscript, and stops the directory again.
set -euo pipefail
top=$(cd "$(dirname "$0")" && pwd)
"$top/cmake/setup.sh"
build="${QUILLON_BUILD:-$top/build}"
run="$build/wine-run.sh"
directory="$build/demo-directory"
trap '"$top/tests/support/slapd.sh" stop "$directory"' EXIT

echo "== Starting a local directory (slapd) with the sample organisation =="
"$top/tests/support/slapd.sh" start "$directory" "$top/examples/directory.ldif"
port=$(cat "$directory/port")
echo "== Registering Quillon.DLL (regsvr32) =="
"$top/tests/support/register-dll.sh" "$build" "$build/Quillon.DLL"

example() {
  local script="$top/examples/$1"
  shift
  echo "== $(basename "$script") =="
  "$run" cscript //nologo "$("$run" winepath -w "$script" 2>/dev/null | tr -d '\r')" "$@" \
    2>/dev/null | tr -d '\r'
}
example object-state.vbs
example delete.vbs 127.0.0.1 "$port"
example rename.vbs 127.0.0.1 "$port"
example add.vbs 127.0.0.1 "$port"
example modify.vbs 127.0.0.1 "$port"
echo "== The directory afterwards (ldapsearch) =="
ldapsearch -x -LLL -H "ldap://127.0.0.1:$port" -b ou=Alumni,dc=example,dc=com -s one \
  cn sn mail telephoneNumber title employeeNumber
photo=$(mktemp -d)
ldapsearch -x -LLL -H "ldap://127.0.0.1:$port" -b "cn=Fay Grant,ou=Alumni,dc=example,dc=com" \
  -s base -tt -T "$photo" jpegPhoto >/dev/null
if cmp -s "$photo"/* "$top/examples/photo.jpg"; then
  echo "The jpegPhoto of cn=Fay Grant is examples/photo.jpg, byte for byte."
fi
rm -rf "$photo"
