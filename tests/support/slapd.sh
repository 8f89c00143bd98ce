#!/usr/bin/env bash
# A throw-away OpenLDAP server on a free loopback port, for tests and the demo.
#   slapd.sh start <dir> [--tls] [--limits] <ldif>...
#                                    makes <dir>, loads the LDIF files, starts the server,
#                                    and writes its port to <dir>/port
#       --tls     also listens on ldaps:// (port in <dir>/tls-port) with a certificate
#                 signed by a test CA made here (<dir>/tls/ca.pem), and refuses every
#                 operation that is not encrypted ("Confidentiality Required")
#       --limits  keeps the server's default limit of 500 entries for plain searches of
#                 everyone but the manager, while paged searches read everything
#       --stats   logs every connection and operation to <dir>/stats.log (binds can be
#                 counted there); slapd 2.5 writes its log file only when it runs in
#                 the foreground, so it runs in the background of a session of its own
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

# A CA and a server certificate for 127.0.0.1 and localhost, made fresh for each start.
make_certificates() {
  local tls="$dir/tls"
  mkdir -p "$tls"
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Quillon Test CA" \
    -keyout "$tls/ca.key" -out "$tls/ca.pem" 2>/dev/null
  openssl req -newkey rsa:2048 -nodes -subj "/CN=localhost" \
    -keyout "$tls/server.key" -out "$tls/server.csr" 2>/dev/null
  printf 'subjectAltName=DNS:localhost,IP:127.0.0.1\n' >"$tls/server.ext"
  openssl x509 -req -in "$tls/server.csr" -CA "$tls/ca.pem" -CAkey "$tls/ca.key" \
    -CAcreateserial -days 2 -extfile "$tls/server.ext" -out "$tls/server.pem" 2>/dev/null
  chmod 644 "$tls"/*
}

# Answers at all: a server that refuses plain operations still answers the probe.
answers() {
  local rc=0
  ldapsearch -x -H "$1" -b "" -s base >/dev/null 2>&1 || rc=$?
  [ "$rc" = 0 ] || [ "$rc" = 13 ]
}

# The listeners of this server, as slapd -h wants them.
urls() {
  local u="ldap://127.0.0.1:$1/"
  [ -n "${2:-}" ] && u+=" ldaps://127.0.0.1:$2/"
  echo "$u"
}

# Starts slapd on the listeners $1: as a daemon, or with a log file (its slapd.conf names
# one) in the foreground of a detached session, holding none of our descriptors.
launch() {
  if grep -q '^logfile ' "$dir/slapd.conf"; then
    setsid /usr/sbin/slapd -f "$dir/slapd.conf" -h "$1" -d stats </dev/null >/dev/null 2>&1 &
    return 0
  fi
  /usr/sbin/slapd -f "$dir/slapd.conf" -h "$1"
}

start() {
  shift 2
  local tls="" sizelimit="sizelimit unlimited" stats=""
  while [ "${1:-}" = --tls ] || [ "${1:-}" = --limits ] || [ "${1:-}" = --stats ]; do
    [ "$1" = --tls ] && tls=1
    [ "$1" = --limits ] && sizelimit="sizelimit size.soft=500 size.prtotal=unlimited"
    [ "$1" = --stats ] && stats="logfile $dir/stats.log"
    shift
  done
  stop
  rm -rf "$dir/db" "$dir/tls-port"
  mkdir -p "$dir/db"
  local security=""
  if [ -n "$tls" ]; then
    make_certificates
    security="TLSCACertificateFile $dir/tls/ca.pem
TLSCertificateFile $dir/tls/server.pem
TLSCertificateKeyFile $dir/tls/server.key
security tls=1"
  fi
  cat >"$dir/slapd.conf" <<CONF
include /etc/ldap/schema/core.schema
include /etc/ldap/schema/cosine.schema
include /etc/ldap/schema/inetorgperson.schema
modulepath /usr/lib/ldap
moduleload back_mdb
pidfile $dir/slapd.pid
$stats
$sizelimit
$security
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
    local port=$((20000 + RANDOM % 30000)) tls_port=""
    [ -n "$tls" ] && tls_port=$((port + 1))
    if launch "$(urls "$port" "$tls_port")" 2>"$dir/slapd.log"; then
      for _ in $(seq 50); do
        if answers "ldap://127.0.0.1:$port"; then
          echo "$port" >"$dir/port"
          [ -n "$tls_port" ] && echo "$tls_port" >"$dir/tls-port"
          echo "slapd listening on 127.0.0.1:$port${tls_port:+ and ldaps on $tls_port}"
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
  local port tls_port=""
  port=$(cat "$dir/port")
  [ -f "$dir/tls-port" ] && tls_port=$(cat "$dir/tls-port")
  for _ in $(seq 50); do
    # The old socket may linger a moment after a kill.
    if launch "$(urls "$port" "$tls_port")" 2>>"$dir/slapd.log"; then
      for _ in $(seq 50); do
        answers "ldap://127.0.0.1:$port" && return 0
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
