#!/usr/bin/env bash
# Runs faults.exe against a slapd of its own (ou=Faults with 100 entries, and ou=Big with
# 20,000 entries of 4 KB each, so that the server is still sending when it is killed),
# carries out the server commands the program asks for, and compares its output with
# faults.expected.
#   faults-test.sh <build dir> <faults.exe> <work dir>
set -euo pipefail
source "$(dirname "$0")/../support/expect-output.sh"
build=${1:?build dir}
exe=${2:?faults.exe}
work=${3:?work dir}
here=$(cd "$(dirname "$0")" && pwd)
slapd="$here/../support/slapd.sh"
run="$build/wine-run.sh"
mkdir -p "$work"
rm -f "$work/request"
trap '"$slapd" stop "$work/server"; [ -n "${pid:-}" ] && kill "$pid" 2>/dev/null || true' EXIT

{
  printf 'dn: dc=example,dc=com\nobjectClass: dcObject\nobjectClass: organization\no: Example\ndc: example\n\n'
  printf 'dn: ou=Faults,dc=example,dc=com\nobjectClass: organizationalUnit\nou: Faults\n\n'
  printf 'dn: ou=Big,dc=example,dc=com\nobjectClass: organizationalUnit\nou: Big\n\n'
  awk 'BEGIN { for (i = 0; i < 100; i++)
    printf "dn: cn=p%05d,ou=Faults,dc=example,dc=com\nobjectClass: person\ncn: p%05d\nsn: s\n\n", i, i
    filler = sprintf("%4000s", ""); gsub(/ /, "x", filler)
    for (i = 0; i < 20000; i++)
    printf "dn: cn=b%05d,ou=Big,dc=example,dc=com\nobjectClass: person\ncn: b%05d\nsn: s\ndescription: %s\n\n", i, i, filler }'
} >"$work/faults.ldif"
"$slapd" start "$work/server" "$work/faults.ldif" >/dev/null
port=$(cat "$work/server/port")

control=$("$run" winepath -w "$work" 2>/dev/null | tr -d '\r')
"$run" "$exe" "$control" "$port" >"$work/output" 2>/dev/null &
pid=$!
while kill -0 "$pid" 2>/dev/null; do
  if [ -f "$work/request" ]; then
    read -r command delay <"$work/request" || true
    # The program may have made the file and not yet written its command: look again.
    if [ -z "${command:-}" ]; then
      sleep 0.05
      continue
    fi
    case "$command" in
      stop) "$slapd" stop "$work/server" ;;
      restart) "$slapd" restart "$work/server" ;;
      kill-after) sleep "$delay"; "$slapd" kill "$work/server" ;;
    esac
    rm -f "$work/request"
  fi
  sleep 0.05
done
wait "$pid" || true
pid=
actual=$(tr -d '\r' <"$work/output")
expected=$(cat "$here/faults.expected")
expect_output "faults.exe output" "$expected" "$actual"
