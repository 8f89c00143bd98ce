#!/usr/bin/env bash
# Writes <dir>/referral.ldif: ou=Elsewhere,dc=example,dc=com as a referral to a plain
# ldap:// server on a loopback port that nothing serves (in <dir>/referral-port). Tests
# listen there to see whether anything follows the referral.
set -euo pipefail
dir=${1:?folder}
mkdir -p "$dir"
# Above the ephemeral range (32768-60999), where outgoing connections would take it.
port=$(shuf -i 61000-65000 -n 1)
echo "$port" >"$dir/referral-port"
cat >"$dir/referral.ldif" <<LDIF
dn: ou=Elsewhere,dc=example,dc=com
objectClass: referral
objectClass: extensibleObject
ou: Elsewhere
ref: ldap://127.0.0.1:$port/ou=Elsewhere,dc=example,dc=com
LDIF
