#!/usr/bin/env bash
# A folder of many small files on SQLite, given as one pattern that Kadrum
# expands and as the same files named one by one (the shell's expansion):
# the first --resume run, a re-run that finds nothing new, and --follow
# over them once it has loaded them: the CPU it uses while nothing is
# written, its open descriptors and its resident memory. Argument: the
# number of files (default 5,000), each a header and two data lines.
#
# Times are the best of three runs, by turns for the two ways of naming
# the files, so that a drift in what else the machine does meets both
# alike; the idle CPU is the process's user and system time (from
# /proc/PID/stat) over 10 s of waiting.
source "$(dirname "$0")/common.sh"
files=${1:-5000}

mkdir "$work/f"
awk -v n="$files" -v dir="$work/f" 'BEGIN {
  for (i = 0; i < n; i++) {
    name = sprintf("%s/station_%05d.txt", dir, i)
    printf "Kopf\n  2026  12  %d  1.5\n  2026  12  %d  2.5\n", i % 28 + 1, i % 28 + 1 > name
    close(name)
  }
}'
pattern="$work/f/station_*.txt"
named=("$work"/f/station_*.txt)

fresh() {
  rm -f "$work"/db*
  sqlite3 "$work/db" "create table t (yr double, jday double, sval double)"
}
args=(DB="$work/db" RT=t HD=1 IN=4)

first_p="" first_n="" again_p="" again_n="" peak_p=0 peak_n=0
for _ in 1 2 3; do
  for way in pattern named; do
    fresh
    if [ "$way" = pattern ]; then set -- "$pattern"; else set -- "${named[@]}"; fi
    read -r secs kib < <(timed "$cli" "${args[@]}" --resume -- "$@")
    [ "$(sqlite3 "$work/db" 'select count(*) from t')" = $((2 * files)) ] \
      || { echo "the first run stored too little" >&2; exit 1; }
    read -r again kib2 < <(timed "$cli" "${args[@]}" --resume -- "$@")
    [ "$(sqlite3 "$work/db" 'select count(*) from t')" = $((2 * files)) ] \
      || { echo "the re-run stored something" >&2; exit 1; }
    if [ "$way" = pattern ]; then
      first_p=$(best "$first_p" "$secs"); again_p=$(best "$again_p" "$again")
      peak_p=$(( kib > peak_p ? kib : peak_p )); peak_p=$(( kib2 > peak_p ? kib2 : peak_p ))
    else
      first_n=$(best "$first_n" "$secs"); again_n=$(best "$again_n" "$again")
      peak_n=$(( kib > peak_n ? kib : peak_n )); peak_n=$(( kib2 > peak_n ? kib2 : peak_n ))
    fi
  done
done

# idle WAY: --follow over the files once everything is stored; prints
# "cpu_seconds_in_10s descriptors rss_kib".
idle() {
  fresh
  if [ "$1" = pattern ]; then set -- "$pattern"; else set -- "${named[@]}"; fi
  "$cli" "${args[@]}" --follow -- "$@" 2>/dev/null &
  local pid=$! n=0
  until [ "$(sqlite3 "$work/db" 'select count(*) from t' 2>/dev/null)" = $((2 * files)) ]; do
    sleep 0.2
    n=$((n + 1))
    [ "$n" -lt 600 ] || { kill "$pid"; echo "--follow did not load the files" >&2; exit 1; }
  done
  # Past the 30 s after which idle files are closed.
  sleep 31
  local before after fds rss
  before=$(awk '{ print $14 + $15 }' "/proc/$pid/stat")
  sleep 10
  after=$(awk '{ print $14 + $15 }' "/proc/$pid/stat")
  fds=$(ls "/proc/$pid/fd" | wc -l)
  rss=$(awk '/^VmRSS/ { print $2 }' "/proc/$pid/status")
  kill "$pid"
  wait "$pid" || true
  echo "$(awk -v t=$((after - before)) -v hz="$(getconf CLK_TCK)" 'BEGIN { printf "%.2f", t / hz }') $fds $rss"
}
read -r cpu_p fds_p rss_p < <(idle pattern)
read -r cpu_n fds_n rss_n < <(idle named)

printf '%s files, SQLite                     %12s %12s\n' "$files" "pattern" "named"
printf 'first --resume run (s)                %12s %12s\n' "$first_p" "$first_n"
printf 're-run, nothing new (s)               %12s %12s\n' "$again_p" "$again_n"
printf 'peak memory of those runs (KiB)       %12s %12s\n' "$peak_p" "$peak_n"
printf -- '--follow idle: CPU in 10 s (s)        %12s %12s\n' "$cpu_p" "$cpu_n"
printf -- '--follow idle: open descriptors       %12s %12s\n' "$fds_p" "$fds_n"
printf -- '--follow idle: resident memory (KiB)  %12s %12s\n' "$rss_p" "$rss_n"
