#!/usr/bin/env bash
# A throw-away OpenLDAP server on a free loopback port, for tests and the demo.
#   slapd.sh start <dir> <ldif>...   makes <dir>, loads the LDIF files, starts the server,
#                                    and writes its port to <dir>/port
#   slapd.sh stop <dir>              stops the server started in <dir>
#   slapd.sh kill <dir>              kills it at once (SIGKILL), as a crash would
#   slapd.sh restart <dir>           starts it again on the same port with the same data
# Suffix dc=example,dc=com; manager cn=admin,dc=example,dc=com with password "secret".
set -euo pipefail
cmd=${1:?start or stop}
dir=${2:?folder}

stop() {
  if [ -f "$dir/slapd.pid" ]; then
    local pid
    pid=$(cat "$dir/slapd.pid")
    kill "$pid" 2>/dev/null || true
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$pid" 2>/dev/null || true
    rm -f "$dir/slapd.pid"
  fi
}

start() {
  shift 2
  stop
  rm -rf "$dir/db"
  mkdir -p "$dir/db"
  cat >"$dir/slapd.conf" <<CONF
include /etc/ldap/schema/core.schema
include /etc/ldap/schema/cosine.schema
include /etc/ldap/schema/inetorgperson.schema
modulepath /usr/lib/ldap
moduleload back_mdb
pidfile $dir/slapd.pid
sizelimit unlimited
database mdb
maxsize 268435456
suffix "dc=example,dc=com"
rootdn "cn=admin,dc=example,dc=com"
rootpw secret
directory $dir/db
access to * by * write
CONF
  for ldif in "$@"; do
    /usr/sbin/slapadd -q -f "$dir/slapd.conf" -l "$ldif"
  done
  # A port may be taken between the choice and the bind: try a few.
  for _ in $(seq 20); do
    local port=$((20000 + RANDOM % 30000))
    if /usr/sbin/slapd -f "$dir/slapd.conf" -h "ldap://127.0.0.1:$port/" 2>"$dir/slapd.log"; then
      for _ in $(seq 50); do
        if ldapsearch -x -H "ldap://127.0.0.1:$port" -b "" -s base >/dev/null 2>&1; then
          echo "$port" >"$dir/port"
          echo "slapd listening on 127.0.0.1:$port"
          return 0
        fi
        sleep 0.1
      done
      stop
    fi
  done
  echo "slapd did not start; see $dir/slapd.log" >&2
  return 1
}

restart() {
  stop
  local port
  port=$(cat "$dir/port")
  for _ in $(seq 50); do
    # The old socket may linger a moment after a kill.
    if /usr/sbin/slapd -f "$dir/slapd.conf" -h "ldap://127.0.0.1:$port/" 2>>"$dir/slapd.log"; then
      for _ in $(seq 50); do
        ldapsearch -x -H "ldap://127.0.0.1:$port" -b "" -s base >/dev/null 2>&1 && return 0
        sleep 0.1
      done
    fi
    sleep 0.2
  done
  echo "slapd did not restart on port $port" >&2
  return 1
}

kill_now() {
  if [ -f "$dir/slapd.pid" ]; then
    kill -9 "$(cat "$dir/slapd.pid")" 2>/dev/null || true
    rm -f "$dir/slapd.pid"
  fi
}

case "$cmd" in
  start) start "$@" ;;
  stop) stop ;;
  kill) kill_now ;;
  restart) restart ;;
  *) echo "usage: $0 start|stop|kill|restart <dir> [ldif...]" >&2; exit 2 ;;
esac
