#!/usr/bin/env bash
# kadrum-cli importing 1,000,000 lines into a new table, beside a bare C loop
# with one commit per row and the sqlite3 shell's .import (one transaction);
# then kadrum-cli --single-transaction beside .import again.
source "$(dirname "$0")/common.sh"
n=${1:-1000000}

cc -O2 -o "$work/sqlite_loop" "$root/bench/sqlite_loop.c" -lsqlite3
generate "$n" "$work/big.txt"
generate 10000 "$work/small.txt"
awk '{print $1 "," $2 "," $4}' "$work/big.txt" > "$work/big.csv"

# once CMD...: one timed run after removing the database.
once() {
  rm -f "$work"/db*
  timed "$@"
}

read -r k_s k_mem < <(once "$cli" --create-database DB="$work/db" RT=t HD=0 FN="$work/big.txt" IN=4 '*')
stored=$(sqlite3 "$work/db" "select count(*) from t")
read -r _ small_mem < <(once "$cli" --create-database DB="$work/db" RT=t HD=0 FN="$work/small.txt" IN=4 '*')
read -r t_s t_mem < <(once "$cli" --single-transaction --create-database DB="$work/db" RT=t HD=0 FN="$work/big.txt" IN=4 '*')
read -r _ t_small_mem < <(once "$cli" --single-transaction --create-database DB="$work/db" RT=t HD=0 FN="$work/small.txt" IN=4 '*')
read -r l_s l_mem < <(once "$work/sqlite_loop" "$work/db" "$work/big.txt")
read -r i_s i_mem < <(once sqlite3 "$work/db" "create table t (yr double, jday double, sval double)" \
  ".import --csv $work/big.csv t")

printf '%-34s %9s %12s %10s\n' "$n lines" seconds records/s "peak KiB"
printf '%-34s %9s %12s %10s\n' "kadrum-cli (stored: $stored)" "$k_s" "$(rate "$n" "$k_s")" "$k_mem"
printf '%-34s %9s %12s %10s\n' "kadrum-cli --single-transaction" "$t_s" "$(rate "$n" "$t_s")" "$t_mem"
printf '%-34s %9s %12s %10s\n' "bare C loop, commit per row" "$l_s" "$(rate "$n" "$l_s")" "$l_mem"
printf '%-34s %9s %12s %10s\n' "sqlite3 .import, one transaction" "$i_s" "$(rate "$n" "$i_s")" "$i_mem"
echo "kadrum / bare loop:  $(ratio "$l_s" "$k_s")  (aim: 0.80 or more)"
echo "kadrum / .import:    $(ratio "$i_s" "$k_s")"
echo "peak memory kadrum:  10,000 lines ${small_mem} KiB, $n lines ${k_mem} KiB"
echo "single-transaction / .import: $(ratio "$i_s" "$t_s")  (aim: 1.20 or more)"
echo "peak memory single-transaction: 10,000 lines ${t_small_mem} KiB, $n lines ${t_mem} KiB"

# PostgreSQL: 20,000 records, one commit each, into a throwaway server with
# its default durability (fsync on), beside a bare libpq loop doing the same.
pg_bindir=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
if [ -x "$pg_bindir/initdb" ]; then
  pg_n=20000
  server="$root/tests/support/postgresql_server.sh"
  cc -O2 -o "$work/pq_loop" "$root/bench/pq_loop.c" -I"$(pg_config --includedir)" -lpq
  "$server" start "$pg_bindir" "$work/pg"
  trap '"$server" stop "$work/pg"; rm -rf "$work"' EXIT
  socket=$(cat "$work/pg")
  generate "$pg_n" "$work/pg.txt"
  # Every commit waits for the disk, whose speed drifts with whatever else
  # the machine does: the two take turns, and each keeps its best of three.
  pk_s="" pl_s="" pk_mem=0 pl_mem=0
  for _ in 1 2 3; do
    read -r secs kib < <(timed "$cli" --create-database "DB=postgresql:///bench?host=$socket&user=postgres" \
      RT=t HD=0 FN="$work/pg.txt" IN=4 '*')
    pk_s=$(best "$pk_s" "$secs") pk_mem=$((kib > pk_mem ? kib : pk_mem))
    read -r secs kib < <(timed "$work/pq_loop" "host=$socket user=postgres dbname=bench" "$work/pg.txt")
    pl_s=$(best "$pl_s" "$secs") pl_mem=$((kib > pl_mem ? kib : pl_mem))
  done
  echo
  printf '%-34s %9s %12s %10s\n' "$pg_n lines into PostgreSQL" seconds records/s "peak KiB"
  printf '%-34s %9s %12s %10s\n' "kadrum-cli, commit per record" "$pk_s" "$(rate "$pg_n" "$pk_s")" "$pk_mem"
  printf '%-34s %9s %12s %10s\n' "bare libpq loop, commit per row" "$pl_s" "$(rate "$pg_n" "$pl_s")" "$pl_mem"
  echo "kadrum / bare libpq loop: $(ratio "$pl_s" "$pk_s")  (aim: 0.80 or more)"

  # The bulk path: all $n lines in one transaction, beside psql's \copy of
  # the same three columns into a table of three double precision columns.
  uri="postgresql:///bench?host=$socket&user=postgres"
  read -r pt_s pt_mem < <(timed "$cli" --single-transaction DB="$uri" RT=t HD=0 FN="$work/big.txt" IN=4 '*')
  pt_stored=$(psql -qtA "$uri" -c "select count(*) from t")
  read -r _ pt_small_mem < <(timed "$cli" --single-transaction DB="$uri" RT=t HD=0 FN="$work/small.txt" IN=4 '*')
  psql -q "$uri" -c "drop table t" -c "create table t (yr double precision, jday double precision, sval double precision)"
  read -r pc_s pc_mem < <(timed psql -q "$uri" -c "\\copy t from '$work/big.csv' csv")
  printf '%-34s %9s %12s %10s\n' "$n lines into PostgreSQL" seconds records/s "peak KiB"
  printf '%-34s %9s %12s %10s\n' "--single-transaction (stored: $pt_stored)" "$pt_s" "$(rate "$n" "$pt_s")" "$pt_mem"
  printf '%-34s %9s %12s %10s\n' "psql \\copy csv" "$pc_s" "$(rate "$n" "$pc_s")" "$pc_mem"
  echo "single-transaction / \\copy: $(ratio "$pc_s" "$pt_s")  (aim: 1.00 or more)"
  echo "peak memory single-transaction: 10,000 lines ${pt_small_mem} KiB, $n lines ${pt_mem} KiB"
else
  echo "PostgreSQL: left out, no server programs (./setup.sh --tests installs them)"
fi
