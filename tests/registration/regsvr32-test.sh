#!/usr/bin/env bash
# Registers and unregisters the DLL with the real regsvr32 in a Wine prefix of its own and
# checks the registry after each step:
#  1. register: exactly the expected class, ProgID and type-library entries;
#  2. a foreign subkey under the class key, then register again: the subkey is gone;
#  3. foreign subkeys under Quillon.Ldap and under the class key's InprocServer32, then
#     unregister: those keys stay with the foreign subkeys, everything else of ours is
#     gone, the CLSID key stays, the type library is no longer registered.
set -euo pipefail
source "$(dirname "$0")/../support/system-programs.sh"  # QUILLON_ARCH=x86: 32-bit tools
build=${1:?build dir}
dll=${2:?dll}
here=$(cd "$(dirname "$0")" && pwd)
export WINEPREFIX="$build/wineprefix-registration-${QUILLON_ARCH:-x64}"
run="$build/wine-run.sh"
path=$("$run" winepath -w "$dll" 2>/dev/null | tr -d '\r')
folder=${path%\\*}

source "$here/registry-dump.sh"

check() {  # compare the dump with an expected file
  local want="$here/$1"
  if ! diff -u <(sed "s/\\\\win64\$/\\\\$library_platform/" "$want") <(dump) >/tmp/regdiff.$$; then
    echo "registry after $2 differs from $(basename "$want"):"
    tail -n +3 /tmp/regdiff.$$
    rm -f /tmp/regdiff.$$
    exit 1
  fi
  rm -f /tmp/regdiff.$$
  echo "after $2: as expected"
}

clean() {  # leftovers of an earlier run
  for key in 'HKCR\Quillon.Ldap.1' 'HKCR\Quillon.Ldap' "HKCR\\CLSID\\$clsid" "HKCR\\TypeLib\\$libid"; do
    "$run" "$regtool" delete "$key" /f >/dev/null 2>&1 || true
  done
}
clean
"$run" "$regsvr32" /s "$path"
check registered.expected "registration"

"$run" "$regtool" add "HKCR\\CLSID\\$clsid\\Stale" /f >/dev/null 2>&1
"$run" "$regsvr32" /s "$path"
check registered.expected "re-registration over a stale subkey"

"$run" "$regtool" add 'HKCR\Quillon.Ldap\Foreign' /f >/dev/null 2>&1
"$run" "$regtool" add "HKCR\\CLSID\\$clsid\\InprocServer32\\Foreign" /f >/dev/null 2>&1
"$run" "$regsvr32" /u /s "$path"
check unregistered-foreign.expected "unregistration with foreign subkeys"
"$run" "$regtool" query 'HKCR\CLSID' >/dev/null 2>&1 || { echo "the CLSID key was removed"; exit 1; }

clean
"$run" "$regsvr32" /s "$path"
"$run" "$regsvr32" /u /s "$path"
check unregistered.expected "plain unregistration"

# A DLL copied over an older one without registering: its class is registered, its type
# library is not at this version. Calls by name must still find every member.
"$run" "$regsvr32" /s "$path"
"$run" "$regtool" delete "HKCR\\TypeLib\\$libid" /f >/dev/null 2>&1
script="$build/registration-copied-${QUILLON_ARCH:-x64}.vbs"
cat >"$script" <<'VBS'
Set o = CreateObject("Quillon.Ldap")
o.ServerName = "directory.example.com"
o.PageSize = 10
WScript.Echo "by name: IsError=" & o.IsError & " ErrorCode=" & o.ErrorCode & " END"
VBS
out=$("$run" "$cscript" //nologo "$("$run" winepath -w "$script" 2>/dev/null | tr -d '\r')" |
      tr -d '\r')
rm -f "$script"
"$run" "$regsvr32" /s "$path"  # whole again, so that it unregisters cleanly
"$run" "$regsvr32" /u /s "$path"
if [ "$out" != "by name: IsError=0 ErrorCode=0 END" ]; then
  echo "late-bound calls without the registered type library gave: [$out]"
  exit 1
fi
echo "without the registered type library: calls by name work"
