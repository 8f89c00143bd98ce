#!/usr/bin/env bash
# Runs one VBScript or JScript file with cscript under Wine and compares its whole output
# with the expected text kept beside it (<script>.expected). cscript under Wine prints
# nothing and exits 0 when a script stops on a run-time error, so the exit status proves
# nothing: every script prints a last marker line, and the comparison catches its absence.
#   run-script.sh <build dir> <script> [<slapd dir>]
# With a slapd folder the script gets the server's host and port as its two arguments
# (and its LDAPS port as a third when it has one), and @HOST@ and @PORT@ in the expected
# text stand for them. QUILLON_ARCH=x86 runs the 32-bit cscript (so the 32-bit DLL).
set -euo pipefail
source "$(dirname "$0")/expect-output.sh"
source "$(dirname "$0")/system-programs.sh"
build=${1:?build dir}
script=${2:?script}
slapd_dir=${3:-}
expected="${EXPECTED:-$script.expected}"
args=()
host=127.0.0.1
port=
if [ -n "$slapd_dir" ]; then
  port=$(cat "$slapd_dir/port")
  args=("$host" "$port")
  [ -f "$slapd_dir/tls-port" ] && args+=("$(cat "$slapd_dir/tls-port")")
fi
run="$build/wine-run.sh"
winpath=$(WINEDEBUG=-all "$run" winepath -w "$script" 2>/dev/null | tr -d '\r')
actual=$("$run" "$cscript" //nologo "$winpath" "${args[@]}" 2>/dev/null | tr -d '\r')
# An optional <script>.after checks the directory with the OpenLDAP tools afterwards;
# its output is part of what is compared.
if [ -f "$script.after" ]; then
  # The OpenLDAP tools run in the build machine's own locale, whatever Wine was given.
  actual+=$'\n'$(LC_ALL=C.UTF-8 HOST="$host" PORT="$port" SLAPD_DIR="$slapd_dir" \
    bash "$script.after" 2>&1)
fi
want=$(sed -e "s/@HOST@/$host/g" -e "s/@PORT@/$port/g" "$expected")
expect_output "output of $(basename "$script")" "$want" "$actual"
