#!/usr/bin/env bash
# QuillonPolicy.exe against a real store: registry values written with Wine's reg tool
# into the policy tests' prefix, INI files in the build tree. Each case's whole output
# (the work folder shown as <work>) and exit status are compared with
# policy_tool.expected; the store is removed afterwards.
#   policy-tool-test.sh <build dir> <QuillonPolicy.exe> <work folder>
set -euo pipefail
source "$(dirname "$0")/../support/expect-output.sh"
build=${1:?build dir}
tool=${2:?tool}
work=${3:?work folder}
here=$(cd "$(dirname "$0")" && pwd)
run="$build/wine-run.sh"
key='HKLM\SOFTWARE\Tesmarin\Varnex'
winpath() { "$run" winepath -w "$1" 2>/dev/null | tr -d '\r'; }
reg() { "$run" reg "$@" >/dev/null 2>&1; }

mkdir -p "$work"
wwork=$(winpath "$work")
cleanup() { reg delete "$key" /f || true; }
trap cleanup EXIT

admin() { printf '[Settings]\r\nInstalled=%s\r\nApplied=%s\r\n' "$1" "$2" >"$work/Admin.ini"; }
sites() {  # <Security line of Site1> <Quillon line of [Site1]>
  printf '[Path]\r\nSite1=D:\\Web\\Site1\r\n[Security]\r\nSite1=%s\r\n[Site1]\r\nQuillon=%s\r\n' \
    "$1" "$2" >"$work/WebSite.ini"
}
# A policy in force: Site1 may Query and Add; the default server is dir1:636.
store() {
  cleanup
  reg add "$key" /v InstallationPath /t REG_SZ /d "$wwork" /f
  reg add "$key" /v EnableGardavo /t REG_DWORD /d 1 /f
  reg add "$key" /v LDAPServerInfo /t REG_SZ /d dir1:636 /f
  admin Quillon Quillon
  sites Quillon 'Query, Add'
}
# One case: a title, then the tool's output and standard error, then its exit status.
check() {  # <title> <arguments...>
  local title=$1 out status=0
  shift
  echo "## $title"
  out=$("$run" "$tool" "$@" 2>&1) || status=$?
  out=${out//$'\r'/}
  printf '%s\n' "${out//"$wwork"/<work>}"
  echo "(exit $status)"
}

actual=$(
  store
  check "allowed" 'D:\Web\Site1\shop\default.asp' query
  check "method not listed" 'd:\web\site1\a.asp' Delete
  check "page under no site" 'D:\Web\Other\a.asp' Query
  sites 'Other, Quillon2' All
  check "site without Quillon in Security" 'D:\Web\Site1\a.asp' Query
  sites Quillon ' all '
  check "All allows every method" 'D:\Web\Site1\a.asp' ModifyDN

  store
  reg delete "$key" /v EnableGardavo /f
  check "switch missing: fails closed" 'D:\Web\Site1\a.asp' Query
  reg add "$key" /v EnableGardavo /t REG_SZ /d 1 /f
  check "switch of another type: fails closed" 'D:\Web\Site1\a.asp' Query
  reg add "$key" /v EnableGardavo /t REG_DWORD /d 65536 /f
  check "switch off: fails open" 'D:\Web\Site1\a.asp' Delete

  store
  admin 'Other' Quillon
  check "not installed: fails open" 'D:\Web\Other\a.asp' Delete
  admin Quillon ''
  check "not applied: fails open" 'D:\Web\Other\a.asp' Delete
  rm "$work/WebSite.ini"
  check "no WebSite.ini: fails open" 'D:\Web\Other\a.asp' Delete
  reg delete "$key" /v InstallationPath /f
  reg delete "$key" /v LDAPServerInfo /f
  check "no InstallationPath, no default server" 'D:\Web\Other\a.asp' Add

  reg add "$key" /v LDAPServerInfo /t REG_SZ /d ':636' /f
  check "a default server without a host" 'D:\Web\Other\a.asp' Add
  reg add "$key" /v LDAPServerInfo /t REG_SZ /d ' dir2 ' /f
  check "a default server without a port" 'D:\Web\Other\a.asp' Add

  check "no arguments"
  check "unknown method" 'D:\Web\Site1\a.asp' Search
  check "one argument too many" 'D:\Web\Site1\a.asp' Query Add
  check "unknown option" --verbose 'D:\Web\Site1\a.asp' Query
)
expected=$(cat "$here/policy_tool.expected")
expect_output "QuillonPolicy.exe output" "$expected" "$actual"

# Spellings of a page's path that name a site's folder, and policy files that cannot be
# read, in code pages 1252 and 932. Each site may do less than the broader line after it,
# so a spelling that slipped past its site would reach Delete. Only the lines that name the
# policy files and the decision are compared; the in-process tests (PolicySpelling,
# PolicyMultibyteDecision) expect the same verdicts from the component.
verdict() { LC_ALL=C grep -aE '^(Decision|ErrorReason|   (Admin|WebSite)\.ini)' || true; }
vcheck() {  # <title> <arguments...>, in the process code page 1252
  local title=$1 out status=0
  shift
  echo "## $title"
  out=$("$run" "$tool" "$@" 2>&1) || status=$?
  out=${out//$'\r'/}
  printf '%s\n' "${out//"$wwork"/<work>}" | verdict
  echo "(exit $status)"
}
# In code page 932 (Shift-JIS); the arguments go through a batch file, as Wine passes only
# ASCII arguments from the command line to a process in that locale.
vcheck932() {  # <title> <page path in Shift-JIS> <method>
  local out status=0
  echo "## $1 (932)"
  printf '@"%s" "%s" %s\r\n@exit /b %%errorlevel%%\r\n' "$(winpath "$tool")" "$2" "$3" \
    >"$work/check.bat"
  out=$(LC_ALL=ja_JP.SJIS "$run" cmd /c "$(winpath "$work/check.bat")" 2>&1) || status=$?
  out=$(iconv -f CP932 -t UTF-8 <<<"${out//$'\r'/}")  # the system's texts are Japanese
  printf '%s\n' "${out//"$wwork"/<work>}" | verdict
  echo "(exit $status)"
}
spelling_store() {  # <code page>: the first site is Café in 1252, Alpha (a Greek capital) in 932
  local name='Caf\xe9' folder='Caf\xe9'
  if [ "$1" = 932 ]; then name=Alpha folder='\x83\x9f'; fi
  store
  mkdir -p "$work/ShopAreaLong"
  { printf "[Path]\r\n$name=D:\\\\Web\\\\Main\\\\$folder\\\\\r\nMain=D:\\\\Web\\\\Main\\\\\r\n"
    printf 'Shop=D:\\Web\\Shop\\\r\nWeb=D:\\Web\\\r\nArea=%s\\ShopAreaLong\\\r\nWork=%s\\\r\n' \
      "$wwork" "$wwork"
    printf "[Security]\r\n$name=Quillon\r\nMain=Quillon\r\nShop=Quillon\r\nWeb=Quillon\r\n"
    printf "Area=Quillon\r\nWork=Quillon\r\n[$name]\r\nQuillon=Query\r\n[Main]\r\nQuillon=All\r\n"
    printf '[Shop]\r\nQuillon=All\r\n[Web]\r\nQuillon=Query\r\n[Area]\r\nQuillon=Query\r\n'
    printf '[Work]\r\nQuillon=All\r\n'
  } >"$work/WebSite.ini"
}
spellings=$(
  spelling_store 1252
  short_area=$("$run" cmd /c dir /x "$wwork" 2>/dev/null | tr -d '\r' |
    awk '/ ShopAreaLong$/ {print $(NF-1)}')
  vcheck "capitals outside ASCII" 'D:\Web\Main\CAFÉ\list.asp' Delete
  vcheck "a full-width letter" 'D:\Web\Ｓhop\x.asp' Delete
  vcheck "a short name" "$wwork\\${short_area:-no-short-name}\\x.asp" Delete
  rm "$work/Admin.ini" && mkdir "$work/Admin.ini"
  vcheck "Admin.ini cannot be read" 'D:\Web\Shop\x.asp' Query
  rmdir "$work/Admin.ini"
  vcheck "no Admin.ini: not in force" 'D:\Web\Shop\x.asp' Delete

  spelling_store 932
  vcheck932 "double-byte capitals" "$(printf 'd:\\web\\main\\\x83\xbf\\a.asp')" Delete
  vcheck932 "a short name" "$wwork\\${short_area:-no-short-name}\\x.asp" Delete
  rm "$work/WebSite.ini" && mkdir "$work/WebSite.ini"
  vcheck932 "WebSite.ini cannot be read" 'D:\Web\Shop\x.asp' Query
  rmdir "$work/WebSite.ini"
  vcheck932 "no WebSite.ini: not in force" 'D:\Web\Shop\x.asp' Delete
  rmdir "$work/ShopAreaLong"
)
expect_output "QuillonPolicy.exe verdicts for spellings and unreadable files" \
  "$(cat "$here/policy_tool_spellings.expected")" "$spellings"

# --help answers on standard output alone, with status 0.
help_status=0
help=$("$run" "$tool" --help 2>/dev/null) || help_status=$?
if [ $help_status -ne 0 ] || ! grep -q '^Usage: QuillonPolicy.exe <page path> <method>' <<<"$help" ||
   ! grep -q '^Exit status: 0 allowed, 1 refused, 2 bad usage.' <<<"${help//$'\r'/}"; then
  echo "--help: status $help_status, output:"
  echo "$help"
  exit 1
fi
echo "QuillonPolicy.exe: output as expected"
