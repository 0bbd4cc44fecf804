#!/usr/bin/env bash
# The main job: imports the daily CO2 series of Mauna Loa (34 header lines;
# year, month and CO2 in ppm) into a new SQLite database and shows the result.
set -euo pipefail
cd "$(dirname "$0")/.."
db=${1:-co2.db}
cli=${KADRUM_CLI:-build/src/cli/kadrum-cli}  # another build's program, for tests
rm -f "$db" "$db-wal" "$db-shm"
# Values convert with the decimal separator of the numeric locale, and the
# sample writes a decimal point: the import runs with C's numeric locale
# (LC_ALL would override LC_NUMERIC, so it is cleared for this one command).
echo "co2.sh: Die Beispieldatei schreibt einen Dezimalpunkt; der Import läuft mit LC_NUMERIC=C." >&2
env -u LC_ALL LC_NUMERIC=C "$cli" --create-database DB="$db" RT=co2 HD=34 \
  FN=examples/co2_daily_mlo.txt IN=5 '*'
sqlite3 -header -column "$db" \
  "select count(*) as records, min(yr) as first_year, max(yr) as last_year,
          round(min(sval), 2) as min_ppm, round(max(sval), 2) as max_ppm from co2;"
sqlite3 -header -column "$db" "select * from co2 order by rowid desc limit 3;"
