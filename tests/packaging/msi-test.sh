#!/usr/bin/env bash
# The installer packages under Wine, in a fresh prefix of their own:
#  1. an older x64 package, then this one: the major upgrade leaves only the new version,
#     and the older one cannot be installed over it;
#  2. the x86 package beside it: the 64-bit and the 32-bit script host each create
#     Quillon.Ldap from their own DLL (Program Files, Program Files (x86)) and search the
#     directory;
#  3. keys added by others below ours, then msiexec /x of the x64 package: the x64 class is
#     gone, the foreign keys stay, the x86 package still works;
#  4. msiexec /x of the x86 package: CreateObject fails in both script hosts, nothing of
#     ours is left in either registry view or under Program Files;
#  5. both installed again: each width's registry entries are exactly those its regsvr32
#     writes for the installed DLL (compared before and after regsvr32).
#   msi-test.sh <build dir> <version> <interfaces.wxi> <slapd folder> <work folder>
set -euo pipefail
source "$(dirname "$0")/../support/expect-output.sh"
build=${1:?build dir}
version=${2:?version}
interfaces=${3:?interfaces.wxi}
port=$(cat "${4:?slapd folder}/port")
work=${5:?work folder}
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
export WINEPREFIX="$build/wineprefix-msi"
run="$build/wine-run.sh"
winpath() { "$run" winepath -w "$1" 2>/dev/null | tr -d '\r'; }
trap '"$run" --wineserver -k 2>/dev/null || true' EXIT

"$run" --wineserver -k 2>/dev/null || true
rm -rf "$WINEPREFIX" "$work"
mkdir -p "$work"
"$top/packaging/make-msi.sh" x64 0.9 "$build" "$top" "$interfaces" "$work/Quillon-0.9-x64.msi"
msi() {  # <action> <package>: msiexec quietly, answering its exit status
  local status=0
  "$run" msiexec "$1" "$(winpath "$2")" /qn >/dev/null 2>&1 || status=$?
  echo "$status"
}
page() {  # <x64|x86>: the search page in that width's script host, on one line
  local host='C:\windows\system32\cscript.exe'
  [ "$1" = x86 ] && host='C:\windows\syswow64\cscript.exe'
  "$run" "$host" //nologo "$(winpath "$here/search.vbs")" 127.0.0.1 "$port" 2>/dev/null |
    tr -d '\r' | tr '\n' ' '
}
products() {  # the installed products named Quillon, as Programs and Features lists them
  for view in 64 32; do
    "$run" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s /reg:$view 2>/dev/null
  done | tr -d '\r' | sed -n 's/^ *Display\(Name\|Version\) *REG_SZ *//p' | paste -d' ' - - |
    grep Quillon | sort || true
}
# The registry trees of one width with its reg tool; <DLL> and <DIR> for the installed file.
dump_width() {  # <x64|x86> <installed DLL path>
  local QUILLON_ARCH=$1 path=$2 folder=${2%\\*} iids
  source "$here/../support/system-programs.sh"
  source "$here/../registration/registry-dump.sh"
  iids=$(grep -o 'Interface\\{[0-9A-F-]*}' "$interfaces" | sort -u | sed 's/^/HKCR\\/')
  # shellcheck disable=SC2086
  dump $iids | sed 's/\\$//'  # HELPDIR: the package writes a trailing backslash
}
files() { find "$WINEPREFIX/drive_c/Program Files" "$WINEPREFIX/drive_c/Program Files (x86)" \
            -ipath '*quillon*' 2>/dev/null | sed "s|$WINEPREFIX/drive_c/||" | sort; }
dll64='C:\Program Files\Quillon\Quillon.DLL'
dll32='C:\Program Files (x86)\Quillon\Quillon.DLL'

actual=$(
  echo "## older x64 package, then this version"
  echo "install 0.9: $(msi /i "$work/Quillon-0.9-x64.msi")"
  echo "install $version: $(msi /i "$build/Quillon-$version-x64.msi")"
  products
  echo "install 0.9 over it: $( [ "$(msi /i "$work/Quillon-0.9-x64.msi")" != 0 ] && echo refused)"
  products
  echo "## x86 package beside it"
  echo "install: $(msi /i "$build/Quillon-$version-x86.msi")"
  products
  files
  echo "x64 page: $(page x64)"
  echo "x86 page: $(page x86)"
  echo "## others' keys below ours, then the x64 package removed"
  "$run" reg add 'HKCR\Quillon.Ldap\Foreign' /f >/dev/null 2>&1
  "$run" reg add 'HKCR\CLSID\{3A21604A-75C7-4955-9ABF-55333D45F227}\InprocServer32\Foreign' /f >/dev/null 2>&1
  echo "uninstall: $(msi /x "$build/Quillon-$version-x64.msi")"
  products
  echo "x64 page: $(page x64)"
  echo "x86 page: $(page x86)"
  dump_width x64 "$dll32" | grep -v '^(no '
  echo "## the x86 package removed"
  echo "uninstall: $(msi /x "$build/Quillon-$version-x86.msi")"
  products
  files
  echo "x64 page: $(page x64)"
  echo "x86 page: $(page x86)"
  echo "# 64-bit view"
  dump_width x64 "$dll64"
  echo "# 32-bit view"
  dump_width x86 "$dll32"
  echo "## both again, against regsvr32"
  "$run" reg delete 'HKCR\Quillon.Ldap' /f >/dev/null 2>&1
  "$run" reg delete 'HKCR\CLSID\{3A21604A-75C7-4955-9ABF-55333D45F227}' /f >/dev/null 2>&1
  echo "install: $(msi /i "$build/Quillon-$version-x64.msi") $(msi /i "$build/Quillon-$version-x86.msi")"
  dump_width x64 "$dll64" >"$work/x64.msi.reg"
  dump_width x86 "$dll32" >"$work/x86.msi.reg"
  "$run" 'C:\windows\system32\regsvr32.exe' /s "$dll64"
  "$run" 'C:\windows\syswow64\regsvr32.exe' /s "$dll32"
  for arch in x64 x86; do
    dll=$dll64
    [ $arch = x86 ] && dll=$dll32
    if dump_width $arch "$dll" | diff -u "$work/$arch.msi.reg" - >"$work/$arch.diff"; then
      echo "$arch registry entries: as regsvr32 writes them"
    else
      echo "$arch registry entries differ from regsvr32's (- package, + regsvr32):"
      tail -n +3 "$work/$arch.diff"
    fi
  done
)
expected=$(sed -e "s/@VERSION@/$version/g" "$here/msi.expected")
expect_output "package test" "$expected" "$actual"
