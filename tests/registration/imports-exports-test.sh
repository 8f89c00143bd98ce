#!/usr/bin/env bash
# The DLL must run on a bare Windows server: it may import Windows system DLLs only (the
# C and C++ runtimes are linked in), and it exports exactly the four COM entry points
# under the module name Quillon.DLL.
set -euo pipefail
dll=${1:?dll}
# QUILLON_ARCH=x86: the 32-bit DLL, whose exports must be the plain names too.
[ "${QUILLON_ARCH:-x64}" = x86 ] && objdump=i686-w64-mingw32-objdump || objdump=x86_64-w64-mingw32-objdump
dump=$("$objdump" -p "$dll")
system='^(advapi32|kernel32|msvcrt|oleaut32|ole32|wldap32|user32)\.dll$'
status=0
while read -r name; do
  if ! echo "$name" | tr 'A-Z' 'a-z' | grep -Eq "$system"; then
    echo "imports a non-system DLL: $name"
    status=1
  fi
done < <(echo "$dump" | sed -n 's/^\s*DLL Name: //p')
exports=$(echo "$dump" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | sed -n 's/^\s*\[ *[0-9]*\] //p' | sort | tr '\n' ' ')
want="DllCanUnloadNow DllGetClassObject DllRegisterServer DllUnregisterServer "
if [ "$exports" != "$want" ]; then
  echo "exports [$exports], expected [$want]"
  status=1
fi
module=$(echo "$dump" | sed -n 's/^Name \s*[0-9a-f]* //p')
if [ "$module" != "Quillon.DLL" ]; then
  echo "export module name [$module], expected [Quillon.DLL]"
  status=1
fi
[ $status -eq 0 ] && echo "imports: $(echo "$dump" | sed -n 's/^\s*DLL Name: //p' | tr '\n' ' ')"
exit $status
