#!/usr/bin/env bash
# kadrum-cli.exe of the Windows build (scripts/build-windows.sh) under
# wine64, per record and with --single-transaction, on the CO2 series
# (examples/co2_daily_mlo.txt) and on LINES lines shaped like it (default
# 1,000,000), beside a bare loop (bench/sqlite_loop.c) built here with MinGW
# from the same SQLite amalgamation, with the same compile definitions,
# storing the same rows: one commit per row, and all in one transaction.
# Each run starts from the same empty database (write-ahead log, made by the
# host's sqlite3 outside the time): Kadrum recreates the table ("*"), the
# loop creates it. Wine's start is in both times alike.
# Usage: bench/windows.sh [LINES [PER_RECORD_LINES]]
#   PER_RECORD_LINES (default LINES) is the size of the per-record run on
#   the generated lines: under Wine a commit costs some 60 microseconds.
root=$(cd "$(dirname "$0")/.." && pwd)
out=$root/build-windows
amalgamation=$out/sqlite/amalgamation
export KADRUM_CLI=$out/src/cli/kadrum-cli.exe
[ -f "$amalgamation/sqlite3.c" ] || { echo "build first: scripts/build-windows.sh" >&2; exit 1; }
source "$root/bench/common.sh"
n=${1:-1000000}
per_record_n=${2:-$n}

wine_dir=/usr/lib/wine
export PATH=$wine_dir:$PATH
command -v wine64 >/dev/null || { echo "wine64 missing (scripts/build-windows.sh installs it)" >&2; exit 1; }
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export LC_ALL=C.UTF-8
unset DISPLAY
trap 'wineserver -k >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
mkdir -p "$WINEPREFIX"
# One persistent wineserver for every run, so that none waits for its start.
wineserver -p </dev/null >/dev/null 2>&1
wine64 wineboot -i </dev/null >/dev/null 2>&1

# SQLite as cmake/windows.cmake builds it for Kadrum, at CMake's -O3 of a
# release build.
mingw=x86_64-w64-mingw32-gcc-posix
definitions=$(sed -n '/target_compile_definitions(kadrum_sqlite3/,/)/p' "$root/cmake/windows.cmake" |
  tr -s ' ()' '\n' | grep '^SQLITE_' | sed 's/^/-D/')
# shellcheck disable=SC2086
"$mingw" -O3 -DNDEBUG -w $definitions -c -o "$work/sqlite3.o" "$amalgamation/sqlite3.c"
"$mingw" -O2 -static -I"$amalgamation" -o "$work/loop.exe" "$root/bench/sqlite_loop.c" "$work/sqlite3.o"

winpath() { printf 'Z:%s' "${1//\//\\}"; }
cp "$root/examples/co2_daily_mlo.txt" "$work/co2.txt"
generate "$n" "$work/big.txt"
head -n "$per_record_n" "$work/big.txt" > "$work/per-record.txt"
db=$(winpath "$work/db")

# turns CMD...: runs the command texts by turns, three times, each on a new
# empty database; prints each one's best seconds.
turns() {
  local -a secs=()
  local s i
  for _ in 1 2 3; do
    for ((i = 1; i <= $#; i++)); do
      rm -f "$work"/db*
      sqlite3 "$work/db" "pragma journal_mode=wal" >/dev/null
      read -r s _ < <(timed bash -c "${!i} </dev/null")
      secs[i]=$(best "${secs[i]:-}" "$s")
    done
  done
  echo "${secs[@]}"
}
q() { printf '%q ' "$@"; }

# compare NAME FILE HEADER ITEM: Kadrum and the loop per record, then in one
# transaction, by turns; prints one line for each mode.
compare() {
  local name=$1 file=$2 header=$3 item=$4 kr lr kt lt stored
  local f
  f=$(winpath "$file")
  read -r kr lr < <(turns \
    "$(q wine64 "$KADRUM_CLI" "DB=$db" RT=t "HD=$header" "FN=$f" "IN=$item" '*')" \
    "$(q wine64 "$work/loop.exe" "$db" "$f" "$header" "$item")")
  read -r kt lt < <(turns \
    "$(q wine64 "$KADRUM_CLI" --single-transaction "DB=$db" RT=t "HD=$header" "FN=$f" "IN=$item" '*')" \
    "$(q wine64 "$work/loop.exe" "$db" "$f" "$header" "$item" one)")
  stored=$(sqlite3 "$work/db" "select count(*) from t")
  printf '%-56s %9s %9s %7s\n' "$name, per record" "$kr" "$lr" "$(ratio "$lr" "$kr")"
  printf '%-56s %9s %9s %7s\n' "$name, one transaction (stored: $stored)" "$kt" "$lt" "$(ratio "$lt" "$kt")"
}

printf '%-56s %9s %9s %7s\n' "kadrum-cli.exe under wine64" kadrum "bare loop" ratio
compare "CO2 series, 15375 lines" "$work/co2.txt" 34 5
if [ "$per_record_n" = "$n" ]; then
  compare "$n lines" "$work/big.txt" 0 4
else
  read -r kr lr < <(turns \
    "$(q wine64 "$KADRUM_CLI" "DB=$db" RT=t HD=0 "FN=$(winpath "$work/per-record.txt")" IN=4 '*')" \
    "$(q wine64 "$work/loop.exe" "$db" "$(winpath "$work/per-record.txt")" 0 4)")
  read -r kt lt < <(turns \
    "$(q wine64 "$KADRUM_CLI" --single-transaction "DB=$db" RT=t HD=0 "FN=$(winpath "$work/big.txt")" IN=4 '*')" \
    "$(q wine64 "$work/loop.exe" "$db" "$(winpath "$work/big.txt")" 0 4 one)")
  printf '%-56s %9s %9s %7s\n' "$per_record_n lines, per record" "$kr" "$lr" "$(ratio "$lr" "$kr")"
  printf '%-56s %9s %9s %7s\n' "$n lines, one transaction" "$kt" "$lt" "$(ratio "$lt" "$kt")"
fi
echo "ratio: bare loop seconds / kadrum seconds (aim: 0.80 or more in both modes)"
