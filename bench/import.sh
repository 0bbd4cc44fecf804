#!/usr/bin/env bash
# kadrum-cli importing 1,000,000 lines into a new table, beside a bare C loop
# with one commit per row and the sqlite3 shell's .import (one transaction);
# then kadrum-cli --single-transaction beside .import again and beside the
# engine's own limits: a bare C program storing the same rows, prepared in
# memory, in one transaction (bench/sqlite_limit.c), one row per INSERT and
# 100 rows per INSERT. The same for PostgreSQL
# with psql's \copy and one binary COPY from memory (bench/pq_limit.c).
source "$(dirname "$0")/common.sh"
n=${1:-1000000}

cc -O2 -o "$work/sqlite_loop" "$root/bench/sqlite_loop.c" -lsqlite3
cc -O2 -o "$work/sqlite_limit" "$root/bench/sqlite_limit.c" -lsqlite3 -lm
generate "$n" "$work/big.txt"
generate 10000 "$work/small.txt"
awk '{print $1 "," $2 "," $4}' "$work/big.txt" > "$work/big.csv"

# once CMD...: one timed run after removing the database.
once() {
  rm -f "$work"/db*
  timed "$@"
}

# thrice CMD...: the best time of three such runs, and the highest peak.
thrice() {
  local best="" peak=0 secs kib
  for _ in 1 2 3; do
    read -r secs kib < <(once "$@")
    best=$(best "$best" "$secs")
    peak=$((kib > peak ? kib : peak))
  done
  echo "$best $peak"
}

# turns CMD...: runs the command texts by turns, three times, each after
# removing the SQLite database, so that a drift in what else the machine
# does (and in the disk's speed) touches all alike; prints each one's best
# seconds and highest peak KiB.
turns() {
  local -a secs=() kibs=()
  local s k i
  for _ in 1 2 3; do
    for ((i = 1; i <= $#; i++)); do
      rm -f "$work"/db*
      read -r s k < <(timed bash -c "${!i}")
      secs[i]=$(best "${secs[i]:-}" "$s")
      if ((k > ${kibs[i]:-0})); then kibs[i]=$k; fi
    done
  done
  for ((i = 1; i <= $#; i++)); do printf '%s %s ' "${secs[i]}" "${kibs[i]}"; done
  echo
}
q() { printf '%q ' "$@"; }

read -r k_s k_mem < <(once "$cli" --create-database DB="$work/db" RT=t HD=0 FN="$work/big.txt" IN=4 '*')
stored=$(sqlite3 "$work/db" "select count(*) from t")
read -r _ small_mem < <(once "$cli" --create-database DB="$work/db" RT=t HD=0 FN="$work/small.txt" IN=4 '*')
read -r _ t_small_mem < <(once "$cli" --single-transaction --create-database DB="$work/db" RT=t HD=0 FN="$work/small.txt" IN=4 '*')
read -r l_s l_mem < <(once "$work/sqlite_loop" "$work/db" "$work/big.txt")
read -r t_s t_mem b_s b_mem m_s m_mem i_s i_mem w_s w_mem < <(turns \
  "$(q "$cli" --single-transaction --create-database DB="$work/db" RT=t HD=0 FN="$work/big.txt" IN=4 '*')" \
  "$(q "$work/sqlite_limit" "$work/db" "$n")" \
  "$(q "$work/sqlite_limit" "$work/db" "$n" 100)" \
  "$(q sqlite3 "$work/db" "create table t (yr double, jday double, sval double)" \
    ".import --csv $work/big.csv t")" \
  "$(q sqlite3 "$work/db" "pragma journal_mode=wal" \
    "create table t (yr double, jday double, sval double)" ".import --csv $work/big.csv t")")
# The last .import went into a database in Kadrum's journal mode,
# write-ahead logging, which writes every page twice (log, then checkpoint).

printf '%-34s %9s %12s %10s\n' "$n lines" seconds records/s "peak KiB"
printf '%-34s %9s %12s %10s\n' "kadrum-cli (stored: $stored)" "$k_s" "$(rate "$n" "$k_s")" "$k_mem"
printf '%-34s %9s %12s %10s\n' "kadrum-cli --single-transaction" "$t_s" "$(rate "$n" "$t_s")" "$t_mem"
printf '%-34s %9s %12s %10s\n' "bare C loop, commit per row" "$l_s" "$(rate "$n" "$l_s")" "$l_mem"
printf '%-34s %9s %12s %10s\n' "sqlite3 .import, one transaction" "$i_s" "$(rate "$n" "$i_s")" "$i_mem"
printf '%-34s %9s %12s %10s\n' "sqlite3 .import, WAL database" "$w_s" "$(rate "$n" "$w_s")" "$w_mem"
printf '%-34s %9s %12s %10s\n' "bare C, rows from memory (limit)" "$b_s" "$(rate "$n" "$b_s")" "$b_mem"
printf '%-34s %9s %12s %10s\n' "bare C, 100 rows per INSERT" "$m_s" "$(rate "$n" "$m_s")" "$m_mem"
echo "kadrum / bare loop:  $(ratio "$l_s" "$k_s")  (aim: 0.80 or more)"
echo "kadrum / .import:    $(ratio "$i_s" "$k_s")"
echo "peak memory kadrum:  10,000 lines ${small_mem} KiB, $n lines ${k_mem} KiB"
echo "single-transaction / .import into WAL: $(ratio "$w_s" "$t_s")"
echo ".import / bare C limit: $(ratio "$b_s" "$i_s")"
echo "single-transaction / bare C 100 rows per INSERT: $(ratio "$m_s" "$t_s")  (aim: 0.80 or more)"
echo "single-transaction / bare C limit, one row per INSERT: $(ratio "$b_s" "$t_s")  (aim: 1.40 or more)"
echo "single-transaction / .import: $(ratio "$i_s" "$t_s")  (aim: 2.00 or more)"
echo "peak memory single-transaction: 10,000 lines ${t_small_mem} KiB, $n lines ${t_mem} KiB" \
  "(aim: at most 1.5 times)"

# PostgreSQL, on a throwaway server with its default durability (fsync on):
# 20,000 records, one commit each, beside a bare libpq loop doing the same;
# then --single-transaction (a binary COPY) beside psql's \copy of the same
# three columns as CSV and beside one binary COPY of the same rows from
# memory, each run dropping and creating its table.
pg_bindir=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
if [ -x "$pg_bindir/initdb" ]; then
  pg_n=20000
  server="$root/tests/support/postgresql_server.sh"
  cc -O2 -o "$work/pq_loop" "$root/bench/pq_loop.c" -I"$(pg_config --includedir)" -lpq
  cc -O2 -o "$work/pq_limit" "$root/bench/pq_limit.c" -I"$(pg_config --includedir)" -lpq -lm
  "$server" start "$pg_bindir" "$work/pg"
  trap '"$server" stop "$work/pg"; rm -rf "$work"' EXIT
  socket=$(cat "$work/pg")
  uri="postgresql:///bench?host=$socket&user=postgres"
  psql=("$pg_bindir/psql" -X -q -h "$socket" -U postgres -d bench)
  generate "$pg_n" "$work/pg.txt"
  awk '{print $1 "," $2 "," $4}' "$work/small.txt" > "$work/small.csv"

  copy_into_c() {
    q "${psql[@]}" -c "drop table if exists c" \
      -c "create table c (yr double precision, jday double precision, sval double precision)" \
      -c "\\copy c from $1 csv"
  }

  "${psql[@]}" -c "create database bench" -d postgres
  read -r kr_s kr_kib lp_s lp_kib < <(turns \
    "$(q "$cli" "DB=$uri" RT=t HD=0 FN="$work/pg.txt" IN=4 '*')" \
    "$(q "$work/pq_loop" "host=$socket user=postgres dbname=bench" "$work/pg.txt")")
  read -r kt_s kt_kib pc_s pc_kib pb_s pb_kib < <(turns \
    "$(q "$cli" --single-transaction "DB=$uri" RT=t HD=0 FN="$work/big.txt" IN=4 '*')" \
    "$(copy_into_c "$work/big.csv")" \
    "$(q "$work/pq_limit" "host=$socket user=postgres dbname=bench" "$n")")
  stored=$("${psql[@]}" -At -c "select count(*) from t")
  read -r kts_s kts_kib pcs_s pcs_kib < <(turns \
    "$(q "$cli" --single-transaction "DB=$uri" RT=t HD=0 FN="$work/small.txt" IN=4 '*')" \
    "$(copy_into_c "$work/small.csv")")

  echo
  printf '%-44s %9s %12s %10s\n' "PostgreSQL" seconds records/s "peak KiB"
  printf '%-44s %9s %12s %10s\n' "kadrum-cli, $pg_n lines, commit per record" "$kr_s" "$(rate "$pg_n" "$kr_s")" "$kr_kib"
  printf '%-44s %9s %12s %10s\n' "bare libpq loop, commit per row" "$lp_s" "$(rate "$pg_n" "$lp_s")" "$lp_kib"
  printf '%-44s %9s %12s %10s\n' "--single-transaction, $n (stored: $stored)" "$kt_s" "$(rate "$n" "$kt_s")" "$kt_kib"
  printf '%-44s %9s %12s %10s\n' "psql \\copy csv, $n lines" "$pc_s" "$(rate "$n" "$pc_s")" "$pc_kib"
  printf '%-44s %9s %12s %10s\n' "bare C binary COPY from memory (limit)" "$pb_s" "$(rate "$n" "$pb_s")" "$pb_kib"
  printf '%-44s %9s %12s %10s\n' "--single-transaction, 10000 lines" "$kts_s" "$(rate 10000 "$kts_s")" "$kts_kib"
  printf '%-44s %9s %12s %10s\n' "psql \\copy csv, 10000 lines" "$pcs_s" "$(rate 10000 "$pcs_s")" "$pcs_kib"
  echo "kadrum / bare libpq loop:              $(ratio "$lp_s" "$kr_s")  (aim: 0.80 or more)"
  echo "single-transaction / \\copy, $n lines: $(ratio "$pc_s" "$kt_s")  (aim: 1.00 or more)"
  echo "single-transaction / \\copy, 10000:     $(ratio "$pcs_s" "$kts_s")"
  echo "single-transaction / bare COPY limit:   $(ratio "$pb_s" "$kt_s")  (aim: 0.80 or more)"
  echo "peak memory single-transaction: 10,000 lines ${kts_kib} KiB, $n lines ${kt_kib} KiB" \
    "(aim: at most 1.5 times)"
else
  echo "PostgreSQL: left out, no server programs (./setup.sh --tests installs them)"
fi
