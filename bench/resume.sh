#!/usr/bin/env bash
# --resume and --follow beside the plain runs, on SQLite: a backlog (a
# complete file of 200,000 lines) per record with and without --resume,
# --single-transaction of 1,000,000 lines with and without it, the peak
# memory of --follow over 1,000,000 appended lines against 10,000, and
# --follow's latency from a line's append to its commit; on PostgreSQL the
# backlog of 20,000 lines. Arguments: the big, the small (PostgreSQL) and
# the backlog line count.
#
# Plain per-record mode commits each record; --resume commits up to 10,000
# records, or what 250 ms bring, with one checkpoint, so that a backlog
# loads at nearly one-transaction speed while a line that arrives alone is
# still committed as soon as it is read.
source "$(dirname "$0")/common.sh"
big=${1:-1000000}
small=${2:-20000}
backlog=${3:-200000}

generate "$big" "$work/big.txt"
generate "$small" "$work/small.txt"
generate "$backlog" "$work/backlog.txt"
generate 10000 "$work/10k.txt"

# fresh: a new database with an empty table t.
fresh() {
  rm -f "$work"/db*
  sqlite3 "$work/db" "create table t (yr double, jday double, sval double)"
}
# best_pair FILE OPTION...: the best times of three runs each, on fresh
# databases, without and with --resume, by turns, so that a drift in what
# else the machine does meets both alike.
best_pair() {
  local file=$1 a="" b="" secs kib
  shift
  for _ in 1 2 3; do
    fresh
    read -r secs kib < <(timed "$cli" "${args[@]}" FN="$file" "$@")
    a=$(best "$a" "$secs")
    fresh
    read -r secs kib < <(timed "$cli" "${args[@]}" FN="$file" "$@" --resume)
    b=$(best "$b" "$secs")
  done
  echo "$a $b"
}

args=(DB="$work/db" RT=t HD=0 IN=4)
read -r p_plain p_resume < <(best_pair "$work/backlog.txt")
read -r s_plain s_resume < <(best_pair "$work/big.txt" --single-transaction)

# follow_peak FILE: --follow on an empty file while FILE's lines are appended
# in blocks; the peak memory once every line is stored.
follow_peak() {
  local lines want
  fresh
  : > "$work/log.txt"
  want=$(wc -l < "$1")
  /usr/bin/time -o "$work/mem" -f "%M" "$cli" "${args[@]}" FN="$work/log.txt" --follow 2>/dev/null &
  local timer=$!
  split -l 50000 "$1" "$work/part."
  for part in "$work"/part.*; do cat "$part" >> "$work/log.txt"; done
  rm -f "$work"/part.*
  until [ "$(sqlite3 "$work/db" "select count(*) from t" 2>/dev/null || echo 0)" = "$want" ]; do sleep 0.2; done
  pkill -TERM -P "$timer" 2>/dev/null || true
  wait "$timer" || true
  tail -n 1 "$work/mem"
}
f_small=$(follow_peak "$work/10k.txt")
f_big=$(follow_peak "$work/big.txt")

# Latency: 300 lines appended one at a time, 20 ms apart; each timed from its
# append until another connection sees it.
fresh
: > "$work/log.txt"
"$cli" "${args[@]}" FN="$work/log.txt" --follow 2>/dev/null &
follower=$!
latency=$(python3 - "$work/db" "$work/log.txt" <<'PY'
import sqlite3, sys, time
db, log = sys.argv[1], sys.argv[2]
time.sleep(0.5)
con = sqlite3.connect(db, isolation_level=None)
samples = []
for i in range(300):
    with open(log, "a") as f:
        f.write("  1990  1  1  1990.0000    %d.00\n" % i)
    t0 = time.perf_counter()
    while con.execute("select count(*) from t").fetchone()[0] < i + 1:
        time.sleep(0.0005)
    samples.append(time.perf_counter() - t0)
    time.sleep(0.02)
samples.sort()
pick = lambda q: samples[min(len(samples) - 1, int(q * len(samples)))] * 1000
print("%.1f %.1f %.1f" % (pick(0.5), pick(0.99), samples[-1] * 1000))
PY
)
kill -TERM "$follower"; wait "$follower" || true
read -r l50 l99 lmax <<< "$latency"

printf '%-46s %9s %12s\n' "" seconds records/s
printf '%-46s %9s %12s\n' "per record, $backlog lines" "$p_plain" "$(rate "$backlog" "$p_plain")"
printf '%-46s %9s %12s\n' "per record, $backlog lines, --resume" "$p_resume" "$(rate "$backlog" "$p_resume")"
printf '%-46s %9s %12s\n' "--single-transaction, $big lines" "$s_plain" "$(rate "$big" "$s_plain")"
printf '%-46s %9s %12s\n' "--single-transaction, $big lines, --resume" "$s_resume" "$(rate "$big" "$s_resume")"
echo "backlog: --resume / plain per-record rate:   $(ratio "$p_plain" "$p_resume")  (aim: 3.00 or more; before commit groups 0.66)"
echo "single transaction: --resume / plain rate:  $(ratio "$s_plain" "$s_resume")  (aim: 0.95 or more)"
echo "--follow peak memory: 10,000 lines ${f_small} KiB, $big lines ${f_big} KiB"
echo "--follow latency append to commit: median ${l50} ms, 99th percentile ${l99} ms, max ${lmax} ms (aim: under 1000 ms)"

# PostgreSQL, on a throwaway server with its default durability (fsync on):
# per-record import with and without --resume, by turns, since every commit
# waits for a disk whose speed drifts with whatever else the machine does.
pg_bindir=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
if [ -x "$pg_bindir/initdb" ]; then
  server="$root/tests/support/postgresql_server.sh"
  "$server" start "$pg_bindir" "$work/pg"
  trap '"$server" stop "$work/pg"; rm -rf "$work"' EXIT
  socket=$(cat "$work/pg")
  uri="postgresql:///bench?host=$socket&user=postgres"
  export PGOPTIONS="-c client_min_messages=warning"
  psql=("$pg_bindir/psql" -X -q -h "$socket" -U postgres)
  "${psql[@]}" -d postgres -c "create database bench"
  pg_fresh() {
    "${psql[@]}" -d bench -c "drop table if exists t" -c "drop table if exists kadrum_checkpoints" \
      -c "create table t (yr double precision, jday double precision, sval double precision)"
  }
  pa="" pb=""
  for _ in 1 2 3; do
    pg_fresh
    read -r secs _ < <(timed "$cli" "DB=$uri" RT=t HD=0 IN=4 FN="$work/small.txt")
    pa=$(best "$pa" "$secs")
    pg_fresh
    read -r secs _ < <(timed "$cli" "DB=$uri" RT=t HD=0 IN=4 FN="$work/small.txt" --resume)
    pb=$(best "$pb" "$secs")
  done
  echo
  printf '%-46s %9s %12s\n' "PostgreSQL, per record, $small lines" "$pa" "$(rate "$small" "$pa")"
  printf '%-46s %9s %12s\n' "PostgreSQL, per record, $small lines, --resume" "$pb" "$(rate "$small" "$pb")"
  echo "PostgreSQL backlog: --resume / plain per-record rate: $(ratio "$pa" "$pb")  (aim: 3.00 or more; before commit groups 0.74)"
fi
