#!/usr/bin/env bash
# The administrator's guide, end to end: its example policy (registry commands and both
# INI files, taken from docs/ADMINISTRATION.md) is written into the policy tests' prefix,
# with the guide's folder C:\Quillon\Policy standing for a work folder. Then
#  - every QuillonPolicy.exe example in the guide must print exactly what the guide shows,
#    with the exit status it states;
#  - the guide's table of what pages see must hold for every page and method;
#  - a script page of the Shop site, locked to Query, searches a real directory server
#    and is refused a Delete.
#   admin-guide-test.sh <build dir> <QuillonPolicy.exe> <dll> <stand-in folder>
#                       <work folder> <slapd folder> <guide>
set -euo pipefail
source "$(dirname "$0")/../support/system-programs.sh"  # QUILLON_ARCH=x86: 32-bit page
build=${1:?build dir}
tool=${2:?tool}
dll=${3:?dll}
standin=${4:?stand-in folder}
work=${5:?work folder}
port=$(cat "${6:?slapd folder}/port")
guide=${7:?guide}
here=$(cd "$(dirname "$0")" && pwd)
run="$build/wine-run.sh"
key='HKLM\SOFTWARE\Tesmarin\Varnex'
guide_folder='C:\Quillon\Policy'
winpath() { "$run" winepath -w "$1" 2>/dev/null | tr -d '\r'; }
status=0
fail() {
  echo "$1"
  status=1
}

rm -rf "$work"
mkdir -p "$work/blocks"
wwork=$(winpath "$work")
cleanup() { "$run" reg delete "$key" /f >/dev/null 2>&1 || true; }
trap cleanup EXIT
cleanup

# The fenced block after each "<!-- guide-test: NAME -->" line goes into blocks/: the
# registry commands, the two INI files, and the checks (check-1, check-2, ... with the
# stated exit status as their first line).
awk -v dir="$work/blocks" '
  /^<!-- guide-test: .* -->$/ {
    name = $0; sub(/^<!-- guide-test: /, "", name); sub(/ -->$/, "", name)
    if (name ~ /^check /) { sub(/^check /, "", name); out = dir "/check-" (++checks); print name > out }
    else out = dir "/" name
    pending = 1; next
  }
  pending && /^```/ { if (inside) { inside = 0; pending = 0; close(out) } else inside = 1; next }
  inside { print > out }
' "$guide"
for block in registry Admin.ini WebSite.ini check-1; do
  [ -s "$work/blocks/$block" ] || fail "the guide has no example block $block"
done
[ $status -eq 0 ] || exit 1

# The example policy, as an administrator would write it.
sed 's/$/\r/' "$work/blocks/Admin.ini" >"$work/Admin.ini"
sed 's/$/\r/' "$work/blocks/WebSite.ini" >"$work/WebSite.ini"
while read -ra words; do
  [ "${#words[@]}" -gt 0 ] || continue
  [ "${words[0]}" = reg ] || fail "not a reg command in the guide: ${words[*]}"
  for i in "${!words[@]}"; do
    [ "${words[$i]}" = "$guide_folder" ] && words[$i]=$wwork
  done
  "$run" "${words[@]}" >/dev/null 2>&1 || fail "failed: ${words[*]}"
done <"$work/blocks/registry"

# The tool's output as the guide shows it: the work folder stands for the guide's.
policy() {  # <page> <method>: prints the output, returns the exit status
  local out rc=0
  out=$("$run" "$tool" "$@" 2>&1) || rc=$?
  out=${out//$'\r'/}
  printf '%s\n' "${out//"$wwork"/$guide_folder}"
  return $rc
}

for check in "$work"/blocks/check-*; do
  stated=$(sed -n '1s/^exit=//p' "$check")
  command=$(sed -n '2p' "$check")
  read -ra args <<<"${command#*QuillonPolicy.exe }"
  expected=$(tail -n +3 "$check")
  rc=0
  actual=$(policy "${args[@]}") || rc=$?
  if [ "$actual" != "$expected" ]; then
    fail "the guide's example \"$command\" differs (- guide, + actual):"
    diff -u <(printf '%s\n' "$expected") <(printf '%s\n' "$actual") | tail -n +3 || true
  fi
  [ "$rc" = "$stated" ] || fail "\"$command\": exit status $rc, the guide says $stated"
done

# The guide's table: one row per page, one column per method.
methods=(Query Add Modify Delete ModifyDN)
rows=0
while IFS='|' read -r _ page cells; do
  page=${page//[\` ]/}
  IFS='|' read -ra said <<<"$cells"
  rows=$((rows + 1))
  for i in "${!methods[@]}"; do
    claim=$(echo "${said[$i]}" | xargs)
    rc=0
    reason=$(policy "$page" "${methods[$i]}" | sed -n 's/^ErrorReason: //p') || rc=$?
    case "$claim" in
      allowed) seen=$([ $rc -eq 0 ] && echo allowed || echo "refused: $reason") ;;
      "method refused") seen=$([[ $rc -eq 1 && $reason == *" method of Quillon component" ]] &&
                                 echo "$claim" || echo "exit $rc: $reason") ;;
      "component refused") seen=$([[ $rc -eq 1 && $reason == *"use Quillon component" ]] &&
                                    echo "$claim" || echo "exit $rc: $reason") ;;
      *) seen="an unknown claim" ;;
    esac
    [ "$seen" = "$claim" ] || fail "$page ${methods[$i]}: the guide says $claim, got $seen"
  done
done < <(grep -E '^\| `[A-Z]:\\Web\\' "$guide")
[ $rows -ge 4 ] || fail "the guide's table of pages was not found ($rows rows)"

# A page of the Shop site, from cscript, against the real directory server.
"$here/../support/register-dll.sh" "$build" "$dll" >/dev/null
"$run" reg add "$key" /v LDAPServerInfo /t REG_SZ /d "127.0.0.1:$port" /f >/dev/null 2>&1
page=$(WINEPATH="$(winpath "$standin")" PATH_TRANSLATED='D:\Web\Shop\people\list.asp' \
  "$run" "$cscript" //nologo "$(winpath "$here/admin_guide_page.vbs")" 2>/dev/null | tr -d '\r')
expected_page=$(cat <<'OUT'
Query: IsError=0 rows=1
Delete: IsError=1 [Please contact your hosting administrator, as you are not allowed to use Delete method of Quillon component]
END
OUT
)
if [ "$page" != "$expected_page" ]; then
  fail "admin_guide_page.vbs differs (- expected, + actual):"
  diff -u <(printf '%s\n' "$expected_page") <(printf '%s\n' "$page") | tail -n +3 || true
fi
[ $status -eq 0 ] && echo "the guide's example policy: as the guide says"
exit $status
