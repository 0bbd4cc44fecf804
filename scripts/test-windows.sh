#!/usr/bin/env bash
# test-windows.sh: runs the Windows build (scripts/build-windows.sh) under
# wine64: the unit tests through ctest, kadrum-cli.exe as a program (CO2
# import compared value for value with the Linux build, the German locale,
# a bad line, patterns, Ctrl+C, the ODBC engine against the host's SQLite ODBC driver,
# the Access and PostgreSQL messages), and the installer.
#
# One wineserver serves the whole run: started persistent (-p) with its
# standard streams redirected, so that no test waits for it to start or
# stop and the calling shell never waits for it to close a stream.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=$root/build-windows
linux_cli=${KADRUM_LINUX_CLI:-$root/build/src/cli/kadrum-cli}

wine_dir=/usr/lib/wine
export PATH=$wine_dir:$PATH
command -v wine64 >/dev/null || { echo "test-windows.sh: wine64 missing (scripts/build-windows.sh installs it)" >&2; exit 1; }
[ -f "$out/src/cli/kadrum-cli.exe" ] || { echo "test-windows.sh: run scripts/build-windows.sh first" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/kadrum-windows.XXXXXX")
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export LC_ALL=C.UTF-8
unset DISPLAY  # nothing here needs a screen; the window tests set their own
finish() {
  wineserver -k >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap finish EXIT
mkdir -p "$WINEPREFIX"
# wineserver puts itself into the background once it serves: no program
# below can start a second, short-lived one of its own.
wineserver -p </dev/null >/dev/null 2>&1
wine64 wineboot -i </dev/null >/dev/null 2>&1

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }
# The Windows path of a host path (Wine maps Z:\ to /).
winpath() { printf 'Z:%s' "${1//\//\\}"; }
cli() { wine64 "$out/src/cli/kadrum-cli.exe" "$@"; }
dump() { sqlite3 "$1" ".schema $2" "select * from $2 order by rowid"; }

# German for the locale test: built here, so the host needs no German locale
# installed; Wine takes the user locale from the host's LC_ALL.
mkdir -p "$work/locales/de_DE.UTF-8"
localedef -i de_DE -f UTF-8 "$work/locales/de_DE.UTF-8" >/dev/null 2>&1 || true
german() { LOCPATH=$work/locales LC_ALL=de_DE.UTF-8 "$@"; }

echo "== unit tests (ctest, under wine64)"
# ctest lists each program's tests by running it. When Wine cannot start a
# program at all, that listing fails with no output; the run is tried once
# more then, and only then, so that a failing test is never retried.
if ! ctest --test-dir "$out" --output-on-failure -j2 --timeout 120 >"$work/ctest" 2>&1; then
  cat "$work/ctest"
  if grep -q '^ *Error running test executable' "$work/ctest"; then
    echo "note: Wine could not start a test program; the unit tests run once more"
    ctest --test-dir "$out" --output-on-failure -j2 --timeout 120 || fail "unit tests"
  else
    fail "unit tests"
  fi
else
  sed -n "/tests passed/,\$p" "$work/ctest"
fi

echo "== kadrum-cli.exe"
sample=$root/examples/co2_daily_mlo.txt
co2=$work/co2.db
cli --create-database "DB=$(winpath "$co2")" RT=co2 HD=34 "FN=$(winpath "$sample")" IN=5 '*' \
  </dev/null >"$work/out" 2>"$work/err" || fail "CO2 import: $(cat "$work/err")"
count=$(sqlite3 "$co2" 'select count(*) from co2')
[ "$count" = 15375 ] && grep -q '^15,375 Datensätze in .* s gespeichert$' "$work/err" \
  && pass "CO2 import stores 15,375 records" || fail "CO2 import: $count records, $(cat "$work/err")"
if [ -x "$linux_cli" ]; then
  env -u LC_ALL LC_NUMERIC=C "$linux_cli" --create-database DB="$work/co2-linux.db" RT=co2 HD=34 \
    FN="$sample" IN=5 '*' 2>/dev/null
  cmp -s <(dump "$work/co2-linux.db" co2) <(dump "$co2" co2) \
    && pass "CO2 records equal the Linux build's, value for value" \
    || fail "CO2 records differ from the Linux build's"
else
  echo "note: no Linux build at $linux_cli: the CO2 records are checked by count and ends only"
  [ "$(sqlite3 "$co2" 'select * from co2 order by rowid limit 1')" = "1974.0|5.0|333.46" ] \
    || fail "CO2 first record"
fi

# The German locale: ',' is the decimal separator, '.' groups thousands.
printf 'Kopf\n  2024   1  2  2024,0055    421,50\n  2024   1  3  2024,0082    421,75\n' >"$work/de.txt"
# Wine moves the prefix's regional settings to a new host locale while the
# first program under it runs: one program first, so that the import reads
# German settings from its start to its end.
german wine64 cmd /c exit </dev/null >/dev/null 2>&1 || true
german cli --create-database "DB=$(winpath "$work/de.db")" RT=t HD=1 "FN=$(winpath "$work/de.txt")" \
  IN=5 '*' </dev/null 2>"$work/err" || fail "German import: $(cat "$work/err")"
grep -q '^2 Datensätze in [0-9]*,[0-9][0-9] s gespeichert$' "$work/err" \
  && pass "German locale: decimal comma in the summary" || fail "German summary: $(cat "$work/err")"
if [ -x "$linux_cli" ]; then
  german "$linux_cli" --create-database DB="$work/de-linux.db" RT=t HD=1 FN="$work/de.txt" IN=5 '*' 2>/dev/null
  cmp -s <(dump "$work/de-linux.db" t) <(dump "$work/de.db" t) \
    && pass "German locale: records equal the Linux build's" || fail "German records differ from Linux"
fi

# A bad line: its file and line number, exit status 1; the lines before are kept.
printf 'Kopf\n1990 1 5\n1990 1 1.2.3\n' >"$work/bad.txt"
status=0
cli --create-database "DB=$(winpath "$work/bad.db")" RT=t HD=1 "FN=$(winpath "$work/bad.txt")" IN=3 '*' \
  </dev/null 2>"$work/err" || status=$?
bad_label=$(winpath "$work/bad.txt")
[ "$status" = 1 ] && [ "$(cat "$work/err")" = "$bad_label:3: '1.2.3' ist kein gültiger Fließkommawert für Feld 'sval'" ] \
  && pass "bad line named as file:line" || fail "bad line: status $status, $(cat "$work/err")"

# A Unicode file name, and a quoted argument with blanks: the command line
# is split by Kadrum's rules.
mkdir -p "$work/Größe Ordner"
printf '1 2 3\n' >"$work/Größe Ordner/Maß.txt"
cli --create-database "DB=$(winpath "$work/Größe Ordner/Maß.db")" RT=t HD=0 \
  "FN=$(winpath "$work/Größe Ordner/Maß.txt")" IN=3 '*' </dev/null 2>"$work/err" \
  && [ "$(sqlite3 "$work/Größe Ordner/Maß.db" 'select * from t')" = "1.0|2.0|3.0" ] \
  && pass "Unicode paths with blanks" || fail "Unicode paths: $(cat "$work/err")"

# One file named in two spellings is one file for --resume: the second run
# stores nothing.
printf 'Kopf\n1 2 3\n4 5 6\n' >"$work/Resume.txt"
cli --create-database "DB=$(winpath "$work/resume.db")" RT=t HD=1 "FN=$(winpath "$work/Resume.txt")" \
  IN=3 '*' --resume </dev/null 2>"$work/err" \
  && cli "DB=$(winpath "$work/resume.db")" RT=t HD=1 "FN=$(winpath "$work/RESUME.TXT")" IN=3 \
    --resume </dev/null 2>"$work/err" \
  && [ "$(sqlite3 "$work/resume.db" 'select count(*) from t')" = "2" ] \
  && [ "$(sqlite3 "$work/resume.db" 'select count(*) from kadrum_checkpoints')" = "1" ] \
  && pass "--resume: two spellings of one file are one file" \
  || fail "--resume spellings: $(sqlite3 "$work/resume.db" 'select file_path from kadrum_checkpoints') $(cat "$work/err")"
# A copy of it is another file (another file ID): loaded again, and told of.
cp "$work/Resume.txt" "$work/Kopie.txt"
cli "DB=$(winpath "$work/resume.db")" RT=t HD=1 "FN=$(winpath "$work/Kopie.txt")" IN=3 \
  --resume </dev/null 2>"$work/err" \
  && grep -q 'Kopie.txt hat denselben Inhalt wie .*Resume.txt' "$work/err" \
  && [ "$(sqlite3 "$work/resume.db" 'select count(*) from t')" = "4" ] \
  && pass "--resume: a copy is loaded and told of" || fail "--resume copy: $(cat "$work/err")"

# Patterns after "--", which cmd would not expand: name order, case ignored,
# a header in each file; a re-run stores nothing; a follower takes a file
# that comes later (found by polling).
mkdir -p "$work/st/2026"
printf 'Kopf\n1 2 2\n' >"$work/st/2026/b.TXT"
printf 'Kopf\n1 2 1\n' >"$work/st/2026/a.txt"
printf 'Kopf\n1 2 9\n' >"$work/st/2026/a.csv"
pattern="$(winpath "$work/st")\\20??\\*.txt"
sql_svals() { sqlite3 "$work/st.db" 'select group_concat(sval, " ") from (select sval from t order by rowid)'; }
cli --create-database "DB=$(winpath "$work/st.db")" RT=t HD=1 IN=3 '*' --resume -- "$pattern" \
  </dev/null 2>"$work/err" \
  && cli "DB=$(winpath "$work/st.db")" RT=t HD=1 IN=3 --resume -- "$pattern" </dev/null 2>"$work/err" \
  && [ "$(sql_svals)" = "1.0 2.0" ] \
  && pass "patterns: name order, case ignored, a re-run stores nothing" \
  || fail "patterns: $(sql_svals) $(cat "$work/err")"
wine64 "$out/src/cli/kadrum-cli.exe" "DB=$(winpath "$work/st.db")" RT=t HD=1 IN=3 --follow -- "$pattern" \
  </dev/null >/dev/null 2>"$work/err" &
pid=$!
sleep 2
printf 'Kopf\n1 2 3\n' >"$work/st/2026/c.txt"
for _ in $(seq 100); do [ "$(sql_svals)" = "1.0 2.0 3.0" ] && break; sleep 0.2; done
[ "$(sql_svals)" = "1.0 2.0 3.0" ] && pass "--follow with a pattern takes a file that comes later" \
  || fail "--follow pattern: $(sql_svals) $(cat "$work/err")"
kill -INT "$pid" 2>/dev/null || true
for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.2; done
kill -KILL "$pid" 2>/dev/null || true
wait "$pid" 2>/dev/null || true

# The help on Windows: "/?" shows it, and its examples write "*" bare,
# since cmd would pass quotes on. An argument that matches no form is told.
cli '/?' </dev/null >"$work/help" 2>&1
grep -q '^Aufruf: kadrum-cli' "$work/help" && grep -q 'IN=5 \*$' "$work/help" \
  && ! grep -qF "'*'" "$work/help" \
  && pass "/? shows the help, with a bare * in its examples" || fail "help: $(head -3 "$work/help")"
printf 'Kopf\n1 2 3\n' >"$work/hb.txt"
cli --create-database "DB=$(winpath "$work/hb.db")" RT=t HB=1 "FN=$(winpath "$work/hb.txt")" IN=3 '*' \
  </dev/null 2>"$work/err"
grep -q "^Hinweis: Argument 'HB=1' passt zu keiner Form und wird übergangen" "$work/err" \
  && pass "an argument that matches no form is told" || fail "unmatched argument: $(cat "$work/err")"

# Standard input, from a pipe, with Windows line ends.
printf '1 2 3\r\n4 5 6\r\n' | cli --create-database "DB=$(winpath "$work/stdin.db")" RT=t HD=0 FN= IN=3 '*' \
  2>"$work/err" && [ "$(sqlite3 "$work/stdin.db" 'select count(*), sum(sval) from t')" = "2|9.0" ] \
  && pass "standard input" || fail "standard input: $(cat "$work/err")"

# Ctrl+C: Wine turns SIGINT into the console's Ctrl+C event. In follow mode
# it ends the run normally, the records stored.
printf '1 2 3\n4 5 6\n' >"$work/follow.txt"
# (wine64 itself, not the shell function, so that $! is its process)
wine64 "$out/src/cli/kadrum-cli.exe" --follow --create-database "DB=$(winpath "$work/follow.db")" \
  RT=t HD=0 "FN=$(winpath "$work/follow.txt")" IN=3 '*' </dev/null >/dev/null 2>"$work/err" &
pid=$!
for _ in $(seq 100); do
  [ "$(sqlite3 "$work/follow.db" 'select count(*) from t' 2>/dev/null)" = 2 ] && break
  sleep 0.2
done
kill -INT "$pid" 2>/dev/null || true
status=0
for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.2; done
if kill -0 "$pid" 2>/dev/null; then
  kill -KILL "$pid"
  fail "Ctrl+C did not end follow mode"
else
  wait "$pid" || status=$?
  [ "$status" = 0 ] && pass "Ctrl+C ends follow mode" || fail "Ctrl+C: status $status, $(cat "$work/err")"
fi

# The ODBC engine under Wine: Wine's odbc32 hands the connection to the
# host's unixODBC and its SQLite driver, so the database is named by its
# host path.
head -n 534 "$sample" >"$work/co2-500.txt"
sqlite3 "$work/odbc.db" 'create table seed (x integer); drop table seed'
cli "DB=odbc:Driver={SQLite3};Database=$work/odbc.db" RT=co2 HD=34 "FN=$(winpath "$work/co2-500.txt")" \
  IN=5 '*' </dev/null 2>"$work/err" || fail "ODBC import: $(cat "$work/err")"
[ "$(sqlite3 "$work/odbc.db" 'select count(*), round(sum(sval), 2) from co2')" = \
  "$(sqlite3 "$co2" 'select count(*), round(sum(sval), 2) from (select sval from co2 order by rowid limit 500)')" ] \
  && pass "ODBC engine through the host's SQLite ODBC driver" || fail "ODBC records"

# Access files need the Access driver, which neither Linux nor Wine has:
# the German message names what to install, and nothing is created.
for name in daten.mdb DATEN.ACCDB; do
  status=0
  cli --create-database "DB=$(winpath "$work/$name")" RT=t "FN=$(winpath "$work/follow.txt")" '*' \
    </dev/null 2>"$work/err" || status=$?
  [ "$status" = 1 ] && grep -q "Microsoft Access Driver (\*.mdb, \*.accdb)" "$work/err" \
    && grep -q 'Microsoft Access Database Engine' "$work/err" && [ ! -e "$work/$name" ] \
    && pass "$name: missing Access driver named" || fail "$name: status $status, $(cat "$work/err")"
done

# PostgreSQL URIs: told to use the PostgreSQL ODBC driver.
status=0
cli "DB=postgresql://kadrum@localhost/kadrum" RT=t "FN=$(winpath "$work/follow.txt")" '*' \
  </dev/null 2>"$work/err" || status=$?
[ "$status" = 1 ] && grep -q 'über ODBC' "$work/err" \
  && pass "postgresql:// points to ODBC" || fail "postgresql://: status $status, $(cat "$work/err")"

echo "== kadrum.exe (under Xvfb, with openbox)"
tests/window/win32/run_under_wine.sh "$out" </dev/null || fail "kadrum.exe under Wine"

echo "== installer and zip"
setup=$(ls "$out"/kadrum-*-win64-setup.exe)
zip_file=$(ls "$out"/kadrum-*-win64.zip)
# Every entry in one folder kadrum-<version>/, the sample among them.
top=$(basename "$zip_file" -win64.zip)
zip -sf "$zip_file" | sed -n 's/^  //p' >"$work/zip-list"
! grep -qv "^$top/" "$work/zip-list" \
  && grep -qx "$top/kadrum-cli.exe" "$work/zip-list" && grep -qx "$top/LICENSE" "$work/zip-list" \
  && grep -qx "$top/README.md" "$work/zip-list" && grep -qx "$top/co2_daily_mlo.txt" "$work/zip-list" \
  && pass "zip holds $top/ with the programs, the licence and the sample" \
  || fail "zip contents: $(tr '\n' ' ' <"$work/zip-list")"
# Whether the user's PATH names the installed folder; reg fails when there
# is no PATH at all.
on_path() {
  local value
  value=$(wine64 reg query 'HKCU\Environment' /v Path </dev/null 2>/dev/null) || value=
  grep -qi 'Programs\\Kadrum' <<<"$value"
}
# uninstall FOLDER LINKS: runs the uninstaller; it runs on as a copy of
# itself, so this waits for it to finish.
uninstall() {
  wine64 "$1/uninstall.exe" /S </dev/null >/dev/null 2>&1 || fail "silent uninstall"
  for _ in $(seq 100); do [ -e "$1" ] || [ -e "$2" ] || break; sleep 0.2; done
}
wine64 "$setup" /S </dev/null >/dev/null 2>&1 || fail "silent install"
installed=$(find "$WINEPREFIX/drive_c" -path '*/Kadrum/kadrum-cli.exe' 2>/dev/null | head -n 1)
links=$(find "$WINEPREFIX/drive_c" -path '*Start Menu/Programs/Kadrum/Kadrum.lnk' 2>/dev/null | head -n 1)
if [ -n "$installed" ] && [ -n "$links" ]; then
  pass "installed: ${installed#"$WINEPREFIX/"}"
  folder=$(dirname "$installed")
  wine64 "$installed" --version </dev/null 2>/dev/null | grep -q '^kadrum-cli ' \
    && pass "the installed program runs" || fail "installed program"
  [ -f "$folder/co2_daily_mlo.txt" ] && [ -f "$(dirname "$links")/README.lnk" ] \
    && pass "the sample and the README link are in place" || fail "sample or README link missing"
  ! on_path && pass "PATH left alone by default" || fail "PATH changed without being asked"
  uninstall "$folder" "$links"
  [ ! -e "$folder" ] && [ ! -e "$links" ] && pass "uninstalled" || fail "files left after uninstall"
  # Asked for, the folder goes on the PATH, and the uninstaller takes it off.
  wine64 "$setup" /S /PATH </dev/null >/dev/null 2>&1 || fail "silent install with /PATH"
  on_path && pass "/PATH adds the folder to the PATH" || fail "/PATH left the PATH without it"
  uninstall "$folder" "$links"
  ! on_path && pass "the uninstaller takes it off again" || fail "PATH still has it after uninstall"
else
  fail "installer put no kadrum-cli.exe or start-menu entry in place"
fi

if [ "$failures" -gt 0 ]; then
  echo "test-windows.sh: $failures failed" >&2
  exit 1
fi
echo "test-windows.sh: all passed"
