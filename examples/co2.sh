#!/usr/bin/env bash
# The main job: imports the daily CO2 series of Mauna Loa (34 header lines;
# year, month and CO2 in ppm) into a new SQLite database and shows the result.
set -euo pipefail
cd "$(dirname "$0")/.."
db=${1:-co2.db}
rm -f "$db" "$db-wal" "$db-shm"
build/src/cli/kadrum-cli --create-database DB="$db" RT=co2 HD=34 \
  FN=examples/co2_daily_mlo.txt IN=5 '*'
sqlite3 -header -column "$db" \
  "select count(*) as records, min(yr) as first_year, max(yr) as last_year,
          round(min(sval), 2) as min_ppm, round(max(sval), 2) as max_ppm from co2;"
sqlite3 -header -column "$db" "select * from co2 order by rowid desc limit 3;"
