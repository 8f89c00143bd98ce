#!/usr/bin/env bash
# The policy check in a process of its own, as a script host will run it: the stand-in
# context module is found only through the Wine DLL search path (WINEPATH), and the page
# path comes from the environment variable PATH_TRANSLATED. The store is written with
# Wine's own reg tool into the policy tests' prefix and removed afterwards.
#   probe-test.sh <build dir> <policy_probe.exe> <stand-in folder> <work folder>
set -euo pipefail
source "$(dirname "$0")/../support/expect-output.sh"
build=${1:?build dir}
probe=${2:?probe}
standin=${3:?stand-in folder}
work=${4:?work folder}
run="$build/wine-run.sh"
source "$(dirname "$0")/site-policy.sh"

write_site_policy

standin_path=$(winpath "$standin")
probe() {  # <op> <WINEPATH or -> <PATH_TRANSLATED or ->
  local env=(env -u PATH_TRANSLATED -u WINEPATH)
  [ "$2" != - ] && env+=("WINEPATH=$2")
  [ "$3" != - ] && env+=("PATH_TRANSLATED=$3")
  "${env[@]}" "$run" "$probe" "$1" 2>/dev/null | tr -d '\r'
}

actual=$(
  echo "# no context module on the search path"
  probe 4 - 'D:\Web\Site1\a.asp'
  echo "# the stand-in, a page of Site1"
  probe 4 "$standin_path" 'D:\Web\Site1\a.asp'
  probe 1 "$standin_path" 'd:\web\site1\shop\b.asp'
  echo "# the stand-in, a page under no site"
  probe 4 "$standin_path" 'D:\Web\Other\a.asp'
)
expected=$(cat <<'OUT'
# no context module on the search path
page 0: Module not found.
answer: Module not found.
# the stand-in, a page of Site1
page 1: D:\Web\Site1\a.asp
answer: 
page 1: d:\web\site1\shop\b.asp
answer: Please contact your hosting administrator, as you are not allowed to use Delete method of Quillon component
# the stand-in, a page under no site
page 1: D:\Web\Other\a.asp
answer: Please contact your hosting administrator, as you are not allowed to use Quillon component
OUT
)
expect_output "policy probe output" "$expected" "$actual"

# Without PATH_TRANSLATED there is no request: refused with a system text, whichever the
# last error is at that moment, never allowed and never a refusal of the site.
no_request=$(probe 4 "$standin_path" -)
if ! grep -q '^page 0: .' <<<"$no_request" || grep -q 'Please contact' <<<"$no_request" ||
   grep -qx 'answer: ' <<<"$no_request"; then
  echo "without a request the check must refuse with a system text, got:"
  echo "$no_request"
  exit 1
fi
echo "policy probe: output as expected"
