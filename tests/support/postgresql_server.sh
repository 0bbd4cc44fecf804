#!/usr/bin/env bash
# A throwaway PostgreSQL server for the tests and the benchmark: a new
# cluster in a folder under TMPDIR, listening only on a Unix socket in that
# folder (no TCP port), run as the postgres user when started by root, since
# initdb refuses root.
#
#   postgresql_server.sh start BINDIR STATEFILE [SETTING=VALUE...]
#   postgresql_server.sh stop STATEFILE
#
# start writes the socket folder into STATEFILE; the superuser is "postgres"
# with trust login, and the role "kadrum_password" (password "richtig") must
# log in with its password. stop ends the server at once and removes the
# folder and STATEFILE.
set -euo pipefail

stop() {
  local state=$1 dir pid
  [ -f "$state" ] || return 0
  dir=$(head -n 1 "$state")
  if [ -f "$dir/data/postmaster.pid" ]; then
    pid=$(head -n 1 "$dir/data/postmaster.pid")
    # SIGQUIT is the immediate shutdown: nothing here is worth keeping.
    kill -QUIT "$pid" 2>/dev/null || true
    # The server removes its pid file as it ends (the process itself may
    # linger as a zombie until its parent reaps it).
    for _ in $(seq 500); do [ -e "$dir/data/postmaster.pid" ] || break; sleep 0.02; done
  fi
  case $dir in */kadrum-pg-*) rm -rf "$dir" ;; esac
  rm -f "$state"
}

start() {
  local bindir=$1 state=$2
  shift 2
  stop "$state"  # a server left over from an interrupted run
  local dir
  dir=$(mktemp -d "${TMPDIR:-/tmp}/kadrum-pg-XXXXXX")
  trap 'rm -rf "$dir"' ERR
  local socket="$dir/.s.PGSQL.5432"
  if ((${#socket} > 106)); then
    echo "socket path too long for a Unix socket: $socket (use a shorter TMPDIR)" >&2
    rm -rf "$dir"
    exit 1
  fi
  local as=()
  if [ "$(id -u)" -eq 0 ]; then
    chown postgres: "$dir"
    as=(runuser -u postgres --)
    if ! "${as[@]}" test -w "$dir"; then
      echo "the postgres user cannot reach $dir; set TMPDIR to a folder it can enter" >&2
      rm -rf "$dir"
      exit 1
    fi
  fi
  "${as[@]}" "$bindir/initdb" -D "$dir/data" -U postgres -A trust --no-locale -E UTF8 \
    --no-sync >"$dir/initdb.log"
  {
    echo "listen_addresses = ''"
    echo "unix_socket_directories = '$dir'"
    for setting in "$@"; do echo "${setting%%=*} = ${setting#*=}"; done
  } >>"$dir/data/postgresql.conf"
  printf 'local all kadrum_password scram-sha-256\nlocal all all trust\n' \
    >"$dir/data/pg_hba.conf"
  "${as[@]}" "$bindir/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 25 start >/dev/null
  "$bindir/psql" -X -q -h "$dir" -U postgres -d postgres \
    -c "CREATE ROLE kadrum_password LOGIN PASSWORD 'richtig'"
  echo "$dir" >"$state"
}

case ${1:-} in
  start) shift; start "$@" ;;
  stop) shift; stop "$@" ;;
  *) echo "usage: $0 start BINDIR STATEFILE [SETTING=VALUE...] | stop STATEFILE" >&2; exit 2 ;;
esac
