#!/usr/bin/env bash
# A page under the hosting policy, end to end: the DLL registered by regsvr32 in the policy
# tests' prefix, the store written with Wine's reg tool, the stand-in context module found
# through WINEPATH, the page path in PATH_TRANSLATED, and a real directory server. With
# QUILLON_ARCH=x86 the page runs in the 32-bit cscript, while the store is still written by
# the 64-bit reg tool, as an administrator does: the policy must reach 32-bit pages too.
#   policy-script-test.sh <build dir> <dll> <stand-in folder> <work folder> <slapd folder>
set -euo pipefail
source "$(dirname "$0")/../support/expect-output.sh"
source "$(dirname "$0")/../support/system-programs.sh"
build=${1:?build dir}
dll=${2:?dll}
standin=${3:?stand-in folder}
work=${4:?work folder}
port=$(cat "${5:?slapd folder}/port")
here=$(cd "$(dirname "$0")" && pwd)
run="$build/wine-run.sh"
source "$(dirname "$0")/site-policy.sh"

"$here/../support/register-dll.sh" "$build" "$dll" >/dev/null
write_site_policy
"$run" reg add "$policy_key" /v LDAPServerInfo /t REG_SZ /d "127.0.0.1:$port" /f >/dev/null 2>&1

actual=$(WINEPATH="$(winpath "$standin")" PATH_TRANSLATED='D:\Web\Site1\people.asp' \
  "$run" "$cscript" //nologo "$(winpath "$here/policy_script.vbs")" 2>/dev/null | tr -d '\r')
expected=$(cat "$here/policy_script.vbs.expected")
expect_output "policy_script.vbs output" "$expected" "$actual"
