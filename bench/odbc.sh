#!/usr/bin/env bash
# kadrum-cli through ODBC into MariaDB (the MariaDB ODBC driver, a throwaway
# server on a Unix socket with InnoDB's default durability: a log flush per
# commit) beside a bare C loop through the same driver: 20,000 records with a
# commit each, then 1,000,000 with --single-transaction beside the loop's
# parameter arrays in one transaction and the mariadb client's LOAD DATA
# LOCAL INFILE of the same three columns as CSV. Each run drops and creates
# its table.
source "$(dirname "$0")/common.sh"
n=${1:-1000000}
row_n=${2:-20000}
command -v mariadbd >/dev/null || PATH=$PATH:/usr/sbin
command -v mariadbd >/dev/null || { echo "no MariaDB server programs: ./setup.sh --tests" >&2; exit 1; }

server="$root/tests/support/mariadb_server.sh"
cc -O2 -o "$work/odbc_loop" "$root/bench/odbc_loop.c" -lodbc
"$server" start "$work/maria" --innodb-flush-log-at-trx-commit=1 --innodb-buffer-pool-size=256M
trap '"$server" stop "$work/maria"; rm -rf "$work"' EXIT
socket=$(cat "$work/maria")
mariadb=(mariadb --no-defaults -S "$socket" -u kadrum)
"${mariadb[@]}" -e "create database bench"
odbc="Driver={MariaDB Unicode};Socket=$socket;Database=bench;User=kadrum"
generate "$row_n" "$work/rows.txt"
generate "$n" "$work/big.txt"
awk '{print $1 "," $2 "," $4}' "$work/big.txt" > "$work/big.csv"

# turns A B [C]: runs the commands by turns, three times, since every
# commit waits for a disk whose speed drifts with whatever else the machine
# does; prints each one's best seconds and highest peak KiB.
turns() {
  local -a best=() peak=()
  local secs kib i
  for _ in 1 2 3; do
    for i in $(seq 0 $(($# - 1))); do
      local cmd=("$@")
      read -r secs kib < <(timed bash -c "${cmd[$i]}")
      best[i]=$(best "${best[i]:-}" "$secs")
      peak[i]=$(( kib > ${peak[i]:-0} ? kib : ${peak[i]:-0} ))
    done
  done
  for i in $(seq 0 $(($# - 1))); do printf '%s %s ' "${best[i]}" "${peak[i]}"; done
  echo
}
q() { printf '%q ' "$@"; }
load_data() {
  q "${mariadb[@]}" --local-infile=1 bench -e "drop table if exists c;
    create table c (yr double, jday double, sval double);
    load data local infile '$1' into table c fields terminated by ','"
}

read -r kr_s kr_kib lr_s lr_kib < <(turns \
  "$(q "$cli" "DB=odbc:$odbc" RT=t HD=0 FN="$work/rows.txt" IN=4 '*')" \
  "$(q "$work/odbc_loop" row "$odbc" "$work/rows.txt")")
read -r kt_s kt_kib la_s la_kib ld_s ld_kib < <(turns \
  "$(q "$cli" --single-transaction "DB=odbc:$odbc" RT=t HD=0 FN="$work/big.txt" IN=4 '*')" \
  "$(q "$work/odbc_loop" array "$odbc" "$work/big.txt")" \
  "$(load_data "$work/big.csv")")
stored=$("${mariadb[@]}" -N bench -e "select count(*) from c")

printf '%-48s %9s %12s %10s\n' "MariaDB through ODBC" seconds records/s "peak KiB"
printf '%-48s %9s %12s %10s\n' "kadrum-cli, $row_n lines, commit per record" "$kr_s" "$(rate "$row_n" "$kr_s")" "$kr_kib"
printf '%-48s %9s %12s %10s\n' "bare ODBC loop, commit per row" "$lr_s" "$(rate "$row_n" "$lr_s")" "$lr_kib"
printf '%-48s %9s %12s %10s\n' "kadrum-cli --single-transaction, $n lines" "$kt_s" "$(rate "$n" "$kt_s")" "$kt_kib"
printf '%-48s %9s %12s %10s\n' "bare ODBC loop, arrays of 2000, one transaction" "$la_s" "$(rate "$n" "$la_s")" "$la_kib"
printf '%-48s %9s %12s %10s\n' "mariadb LOAD DATA LOCAL INFILE (stored: $stored)" "$ld_s" "$(rate "$n" "$ld_s")" "$ld_kib"
echo "kadrum / bare loop, commit per record:  $(ratio "$lr_s" "$kr_s")  (aim: 0.80 or more)"
echo "single-transaction / bare array loop:   $(ratio "$la_s" "$kt_s")  (aim: 0.80 or more)"
echo "single-transaction / LOAD DATA:         $(ratio "$ld_s" "$kt_s")  (aim: 1.00 or more; arrays of 2,000 gave 0.92)"
