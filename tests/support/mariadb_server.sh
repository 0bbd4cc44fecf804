#!/usr/bin/env bash
# A throwaway MariaDB server for the tests and the benchmark: a new data
# folder under TMPDIR, reached only through a Unix socket in that folder
# (--skip-networking: no TCP port), run as the mysql user when started by
# root, since mariadbd refuses to run as root (it drops to that user itself).
#
#   mariadb_server.sh start STATEFILE [--OPTION=VALUE...]
#   mariadb_server.sh stop STATEFILE
#
# start writes the socket's path into STATEFILE; the user "kadrum" (no
# password) may do everything, the user "kadrum_password" (password
# "richtig") must log in with its password. stop ends the server at once
# and removes the folder and STATEFILE. Options go to mariadbd after the
# script's own, so they override them.
set -euo pipefail

stop() {
  local state=$1 socket dir pid
  [ -f "$state" ] || return 0
  socket=$(head -n 1 "$state")
  dir=${socket%/*}
  if [ -f "$dir/mariadb.pid" ]; then
    pid=$(head -n 1 "$dir/mariadb.pid")
    # SIGKILL: nothing here is worth keeping, and the folder goes next.
    kill -KILL "$pid" 2>/dev/null || true
    for _ in $(seq 500); do kill -0 "$pid" 2>/dev/null || break; sleep 0.02; done
  fi
  case $dir in */kadrum-mariadb-*) rm -rf "$dir" ;; esac
  rm -f "$state"
}

start() {
  local state=$1
  shift
  stop "$state"  # a server left over from an interrupted run
  local dir
  dir=$(mktemp -d "${TMPDIR:-/tmp}/kadrum-mariadb-XXXXXX")
  trap 'rm -rf "$dir"' ERR
  local socket="$dir/mysqld.sock"
  if ((${#socket} > 106)); then
    echo "socket path too long for a Unix socket: $socket (use a shorter TMPDIR)" >&2
    rm -rf "$dir"
    exit 1
  fi
  local as=() user=()
  if [ "$(id -u)" -eq 0 ]; then
    chown mysql: "$dir"
    as=(runuser -u mysql --)
    user=(--user=mysql)
    if ! "${as[@]}" test -w "$dir"; then
      echo "the mysql user cannot reach $dir; set TMPDIR to a folder it can enter" >&2
      rm -rf "$dir"
      exit 1
    fi
  fi
  # --no-defaults: the machine's own my.cnf (its data folder, its socket)
  # plays no part.
  "${as[@]}" mkdir "$dir/tmp"
  # As root, with --user: only root can give the PAM helper its owner.
  mariadb-install-db --no-defaults --datadir="$dir/data" --tmpdir="$dir/tmp" \
    --auth-root-authentication-method=normal \
    --skip-test-db --skip-name-resolve "${user[@]}" >"$dir/install.log" 2>&1 ||
    { cat "$dir/install.log" >&2; exit 1; }
  # Without fsync at each commit: the server is thrown away, and a killed
  # client is what the tests kill, not the machine.
  setsid mariadbd --no-defaults --datadir="$dir/data" --tmpdir="$dir/tmp" --socket="$socket" \
    --pid-file="$dir/mariadb.pid" --skip-networking --skip-name-resolve \
    --innodb-flush-log-at-trx-commit=2 --innodb-doublewrite=0 --innodb-buffer-pool-size=64M \
    --character-set-server=utf8mb4 --collation-server=utf8mb4_unicode_ci \
    --log-error="$dir/server.log" "${user[@]}" "$@" </dev/null >/dev/null 2>&1 &
  for _ in $(seq 1000); do
    [ -S "$socket" ] && mariadb --no-defaults -S "$socket" -u root -e 'SELECT 1' >/dev/null 2>&1 && break
    if ! kill -0 $! 2>/dev/null; then cat "$dir/server.log" >&2; exit 1; fi
    sleep 0.02
  done
  mariadb --no-defaults -S "$socket" -u root -e "
    CREATE USER kadrum@localhost; GRANT ALL ON *.* TO kadrum@localhost WITH GRANT OPTION;
    CREATE USER kadrum_password@localhost IDENTIFIED BY 'richtig';
    GRANT ALL ON *.* TO kadrum_password@localhost;"
  echo "$socket" >"$state"
}

case ${1:-} in
  start) shift; start "$@" ;;
  stop) shift; stop "$@" ;;
  *) echo "usage: $0 start STATEFILE [--OPTION=VALUE...] | stop STATEFILE" >&2; exit 2 ;;
esac
