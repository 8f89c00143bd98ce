#!/usr/bin/env bash
# A page under the hosting policy, end to end: the DLL registered by regsvr32 in the policy
# tests' prefix, the store written with Wine's reg tool, the stand-in context module found
# through WINEPATH, the page path in PATH_TRANSLATED, and a real directory server.
#   policy-script-test.sh <build dir> <dll> <stand-in folder> <work folder> <slapd folder>
set -euo pipefail
source "$(dirname "$0")/../support/expect-output.sh"
build=${1:?build dir}
dll=${2:?dll}
standin=${3:?stand-in folder}
work=${4:?work folder}
port=$(cat "${5:?slapd folder}/port")
here=$(cd "$(dirname "$0")" && pwd)
run="$build/wine-run.sh"
key='HKLM\SOFTWARE\Tesmarin\Varnex'
winpath() { "$run" winepath -w "$1" 2>/dev/null | tr -d '\r'; }

"$here/../support/register-dll.sh" "$build" "$dll" >/dev/null
mkdir -p "$work"
printf '[Settings]\r\nInstalled=Quillon\r\nApplied=Quillon\r\n' >"$work/Admin.ini"
printf '[Path]\r\nSite1=D:\\Web\\Site1\r\n[Security]\r\nSite1=Quillon\r\n[Site1]\r\nQuillon=Query\r\n' \
  >"$work/WebSite.ini"
cleanup() { "$run" reg delete "$key" /f >/dev/null 2>&1 || true; }
trap cleanup EXIT
cleanup
"$run" reg add "$key" /v InstallationPath /t REG_SZ /d "$(winpath "$work")" /f >/dev/null 2>&1
"$run" reg add "$key" /v EnableGardavo /t REG_DWORD /d 1 /f >/dev/null 2>&1
"$run" reg add "$key" /v LDAPServerInfo /t REG_SZ /d "127.0.0.1:$port" /f >/dev/null 2>&1

actual=$(WINEPATH="$(winpath "$standin")" PATH_TRANSLATED='D:\Web\Site1\people.asp' \
  "$run" cscript //nologo "$(winpath "$here/policy_script.vbs")" 2>/dev/null | tr -d '\r')
expected=$(cat "$here/policy_script.vbs.expected")
expect_output "policy_script.vbs output" "$expected" "$actual"
