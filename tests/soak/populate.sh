#!/usr/bin/env bash
# Loads the subtrees of the soak and concurrency harnesses into the test directory
# (layout in workload.h). An earlier copy is deleted first, so that the harnesses can run
# again against a server that is still up.
#   populate.sh <slapd folder>
set -euo pipefail
dir=${1:?slapd folder}
large=300   # kLargeEntries in workload.h
threads=16  # the most threads the concurrency harness runs
auth=(-x -H "ldap://127.0.0.1:$(cat "$dir/port")" -D cn=admin,dc=example,dc=com -w secret)
for base in ou=Soak,dc=example,dc=com ou=Threads,dc=example,dc=com; do
  ldapdelete "${auth[@]}" -r "$base" 2>/dev/null || true
done

ou() { printf 'dn: ou=%s,%s\nobjectClass: organizationalUnit\nou: %s\n\n' "$1" "$2" "$1"; }
{
  ou Soak dc=example,dc=com
  for name in Small Large Work; do ou "$name" ou=Soak,dc=example,dc=com; done
  # Surnames that sort one way by bytes and another without regard to case.
  for sn in Echo bravo Alpha delta Charlie; do
    printf 'dn: cn=Small %s,ou=Small,ou=Soak,dc=example,dc=com\nobjectClass: inetOrgPerson\n' "$sn"
    printf 'cn: Small %s\nsn: %s\nmail: %s@example.com\n\n' "$sn" "$sn" "$sn"
  done
  # Person i has surname Family (i*37 mod N), so that sorting reorders the server's order.
  for ((i = 0; i < large; i++)); do
    n=$(printf %03d "$i")
    printf 'dn: uid=L%s,ou=Large,ou=Soak,dc=example,dc=com\nobjectClass: inetOrgPerson\n' "$n"
    printf 'uid: L%s\ncn: Person %s\nsn: Family %03d\n' "$n" "$n" $((i * 37 % large))
    printf 'mail: person%s@example.com\ntelephoneNumber: +1 555 0%s\n\n' "$n" "$n"
  done
  ou Threads dc=example,dc=com
  for ((t = 0; t < threads; t++)); do ou "T$t" ou=Threads,dc=example,dc=com; done
} | ldapadd "${auth[@]}" >/dev/null
echo "loaded ou=Soak ($large large entries) and ou=Threads ($threads folders)"
