#!/usr/bin/env bash
# --rejects beside the same run without it: --single-transaction of
# 1,000,000 clean lines on SQLite and PostgreSQL (aim: 0.9 of the speed or
# more), the same with 1 % bad lines (every hundredth value no number,
# rejected), and the per-record run of 20,000 clean lines on SQLite, where
# --rejects stores each record in a short transaction of its own. Best of
# three by turns, so that a drift in what else the machine does meets every
# command alike. Arguments: the big and the small line count.
#
# PostgreSQL --rejects puts up to 65,536 records behind each savepoint, and
# each savepoint ends the COPY. Where page faults are dear it stays below
# its aim: on a virtual machine whose faults cost 10 to 13 us each (some 20
# times a bare machine's), 0.71 with the server's shared memory in 4 KiB
# pages, 0.86 to 0.91 with huge pages (vm.nr_hugepages set before the
# server starts; it takes them by default). A single COPY fills one ring of
# buffers again and again, while COPYs one after the other take new
# buffers each, so that the server's backend touches the table's pages in
# its shared memory for the first time: from about 6,000 faults to 15,000
# for 1,000,000 records, whether 4 or 41 COPYs, and the same with psql's
# \copy. Huge pages take those faults away.
source "$(dirname "$0")/common.sh"
n=${1:-1000000}
small=${2:-20000}

generate "$n" "$work/clean.txt"
generate "$small" "$work/small.txt"
# Every hundredth line's fourth item becomes "1.2.3", which no number is.
awk 'NR % 100 == 0 { $4 = "1.2.3" } { print }' "$work/clean.txt" > "$work/bad.txt"

# turns CMD...: each command text three times by turns, each on a fresh
# SQLite database with an empty table t; prints each one's best seconds
# and highest peak KiB.
turns() {
  local -a secs=() kibs=()
  local s k i
  for _ in 1 2 3; do
    for ((i = 1; i <= $#; i++)); do
      rm -f "$work"/db*
      sqlite3 "$work/db" "create table t (yr double, jday double, sval double)"
      [ -z "${before:-}" ] || bash -c "$before"
      read -r s k < <(timed bash -c "${!i}")
      secs[i]=$(best "${secs[i]:-}" "$s")
      if ((k > ${kibs[i]:-0})); then kibs[i]=$k; fi
    done
  done
  for ((i = 1; i <= $#; i++)); do printf '%s %s ' "${secs[i]}" "${kibs[i]}"; done
  echo
}
q() { printf '%q ' "$@"; }

one=(--single-transaction "DB=$work/db" RT=t HD=0 IN=4)
read -r s_plain _ s_rej _ s_bad s_bad_kib < <(turns \
  "$(q "$cli" "${one[@]}" FN="$work/clean.txt")" \
  "$(q "$cli" "${one[@]}" FN="$work/clean.txt" --rejects)" \
  "$(q "$cli" "${one[@]}" FN="$work/bad.txt" --rejects)")
rm -f "$work"/db*
sqlite3 "$work/db" "create table t (yr double, jday double, sval double)"
"$cli" "${one[@]}" FN="$work/bad.txt" --rejects 2>/dev/null || true
s_kept=$(sqlite3 "$work/db" "select count(*) from t")
s_rejected=$(sqlite3 "$work/db" "select count(*) from kadrum_rejects")
per=("DB=$work/db" RT=t HD=0 IN=4 FN="$work/small.txt")
read -r r_plain _ r_rej _ < <(turns "$(q "$cli" "${per[@]}")" "$(q "$cli" "${per[@]}" --rejects)")

printf '%-52s %9s %12s\n' "SQLite" seconds records/s
printf '%-52s %9s %12s\n' "--single-transaction, $n clean lines" "$s_plain" "$(rate "$n" "$s_plain")"
printf '%-52s %9s %12s\n' "--single-transaction --rejects, $n clean lines" "$s_rej" "$(rate "$n" "$s_rej")"
printf '%-52s %9s %12s\n' "--single-transaction --rejects, 1 % bad lines" "$s_bad" "$(rate "$n" "$s_bad")"
printf '%-52s %9s %12s\n' "one commit per record, $small clean lines" "$r_plain" "$(rate "$small" "$r_plain")"
printf '%-52s %9s %12s\n' "one commit per record --rejects, $small clean lines" "$r_rej" "$(rate "$small" "$r_rej")"
echo "1 % bad lines: $s_kept stored, $s_rejected rejected, peak $s_bad_kib KiB"
echo "--rejects / without, one transaction: $(ratio "$s_plain" "$s_rej")  (aim: 0.90 or more)"
echo "--rejects / without, per record:      $(ratio "$r_plain" "$r_rej")"

pg_bindir=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
if [ -x "$pg_bindir/initdb" ]; then
  server="$root/tests/support/postgresql_server.sh"
  "$server" start "$pg_bindir" "$work/pg"
  trap '"$server" stop "$work/pg"; rm -rf "$work"' EXIT
  socket=$(cat "$work/pg")
  uri="postgresql:///bench?host=$socket&user=postgres"
  psql=("$pg_bindir/psql" -X -q -h "$socket" -U postgres -d bench)
  "${psql[@]}" -c "create database bench" -d postgres
  "${psql[@]}" -c "create table t (yr double precision, jday double precision, sval double precision)"
  # Each run starts from an empty table and no rejects.
  before="$(q "${psql[@]}" -c "truncate t" -c "drop table if exists kadrum_rejects")"
  pg=(--single-transaction "DB=$uri" RT=t HD=0 IN=4)
  read -r p_plain _ p_rej _ p_bad _ < <(turns \
    "$(q "$cli" "${pg[@]}" FN="$work/clean.txt")" \
    "$(q "$cli" "${pg[@]}" FN="$work/clean.txt" --rejects)" \
    "$(q "$cli" "${pg[@]}" FN="$work/bad.txt" --rejects)")
  p_kept=$("${psql[@]}" -At -c "select count(*) from t")
  p_rejected=$("${psql[@]}" -At -c "select count(*) from kadrum_rejects")
  echo
  printf '%-52s %9s %12s\n' "PostgreSQL" seconds records/s
  printf '%-52s %9s %12s\n' "--single-transaction, $n clean lines" "$p_plain" "$(rate "$n" "$p_plain")"
  printf '%-52s %9s %12s\n' "--single-transaction --rejects, $n clean lines" "$p_rej" "$(rate "$n" "$p_rej")"
  printf '%-52s %9s %12s\n' "--single-transaction --rejects, 1 % bad lines" "$p_bad" "$(rate "$n" "$p_bad")"
  echo "1 % bad lines: $p_kept stored, $p_rejected rejected"
  echo "--rejects / without, one transaction: $(ratio "$p_plain" "$p_rej")  (aim: 0.90 or more)"
  # Ten rows the table refuses, one in every 100,000: each fails the
  # records behind its savepoint, which go again in parts of 512.
  awk 'NR % 100000 == 50000 { $4 = "-" $4 } { print }' "$work/clean.txt" > "$work/refused.txt"
  "${psql[@]}" -c "create table c (yr double precision, jday double precision, sval double precision check (sval >= 0))"
  read -r s _ < <(timed "$cli" --single-transaction "DB=$uri" RT=c HD=0 IN=4 FN="$work/refused.txt" --rejects)
  printf '%-52s %9s %12s\n' "--single-transaction --rejects, 10 refused by CHECK" "$s" "$(rate "$n" "$s")"
  echo "10 refused: $("${psql[@]}" -At -c "select count(*) from c") stored, $("${psql[@]}" -At -c "select count(*) from kadrum_rejects where target_table = 'c'") rejected"
else
  echo "PostgreSQL: left out, no server programs (./setup.sh --tests installs them)"
fi
