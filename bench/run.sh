#!/usr/bin/env bash
# Runs the benchmarks: the per-operation cost of each operation against direct library
# calls, then the Query benchmark for 10,000 and 100,000 entries (or the counts given), in
# memory and against a local slapd loaded with that many entries, and the memory a large
# result holds.
#   bench/run.sh [count...]     e.g. bench/run.sh 10000
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/cmake/setup.sh"
build="${QUILLON_BUILD:-$top/build}"
run="$build/wine-run.sh"
dir="$build/bench-directory"
trap '"$top/tests/support/slapd.sh" stop "$dir"' EXIT
"$top/tests/support/register-dll.sh" "$build" "$build/Quillon.DLL" >/dev/null
counts=("$@")
[ ${#counts[@]} -gt 0 ] || counts=(10000 100000)
mkdir -p "$dir"
printf 'dn: dc=example,dc=com\nobjectClass: dcObject\nobjectClass: organization\no: Example\ndc: example\n\ndn: ou=Ops,dc=example,dc=com\nobjectClass: organizationalUnit\nou: Ops\n' >"$dir/ops.ldif"
"$top/tests/support/slapd.sh" start "$dir" "$dir/ops.ldif" >/dev/null
"$run" "$build/bench/bench_operations.exe" 127.0.0.1 "$(cat "$dir/port")" 200 2>/dev/null | tr -d '\r'
"$top/tests/support/slapd.sh" stop "$dir"
"$run" "$build/bench/bench_query.exe" split 2>/dev/null | tr -d '\r'
for n in "${counts[@]}"; do
  mkdir -p "$dir"
  {
    printf 'dn: dc=example,dc=com\nobjectClass: dcObject\nobjectClass: organization\no: Example\ndc: example\n\n'
    printf 'dn: ou=Bench,dc=example,dc=com\nobjectClass: organizationalUnit\nou: Bench\n\n'
    awk -v n="$n" 'BEGIN { srand(42); for (i = 0; i < n; i++) {
      printf "dn: cn=Person %d,ou=Bench,dc=example,dc=com\nobjectClass: inetOrgPerson\n", i
      printf "cn: Person %d\nsn: Name%d\nmail: person%d@example.com\ntelephoneNumber: +1 555 %d\n\n", i, int(rand() * n), i, 100000 + i } }'
  } >"$dir/bench.ldif"
  "$top/tests/support/slapd.sh" start "$dir" "$dir/bench.ldif" >/dev/null
  "$run" "$build/bench/bench_query.exe" "$n" 127.0.0.1 "$(cat "$dir/port")" 2>/dev/null | tr -d '\r'
  "$top/tests/support/slapd.sh" stop "$dir"
  "$run" "$build/bench/bench_query.exe" memory "$n" 2>/dev/null | tr -d '\r'
done
