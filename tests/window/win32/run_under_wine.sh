#!/usr/bin/env bash
# run_under_wine.sh [BUILD_FOLDER]: the Win32 window of the Windows build in
# BUILD_FOLDER (build-windows/ unless given) under wine64, on a virtual X
# display of its own with a small window manager (openbox), handled as a
# user would: through its windows, its keys and its buttons.
#   1. "… '*' GO !" stores the CO2 series and ends with status 0 by itself.
#   2. A copy named MYTOOL.V2.EXE with "GO" and a database that cannot be
#      opened shows the error box, captioned "Mytool", before the main window;
#      after Enter closes it the window appears and stays open; its "exit"
#      button ends the program with status 0.
#   3. Without its theme the program shows the box "Fehler" first, then the
#      window, maximised as "start /max" asks, which the close key (Alt+F4)
#      ends with status 0.
# Uses WINEPREFIX and the running wineserver when the caller has them (as
# scripts/test-windows.sh does), else makes both for itself.
# Needs wine64 (scripts/build-windows.sh installs it); installs xvfb,
# openbox, xdotool, x11-utils (xprop) and sqlite3 when they are missing.
set -euo pipefail

root=$(cd "$(dirname "$0")/../../.." && pwd)
build=$(realpath "${1:-$root/build-windows}")
exe=$build/src/window/win32/kadrum.exe
bare=$build/tests/window/win32/kadrum_without_theme.exe
for program in "$exe" "$bare"; do
  [ -f "$program" ] || { echo "run_under_wine.sh: $program not found" >&2; exit 1; }
done
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
"$root/scripts/install-packages.sh" xvfb openbox xdotool x11-utils sqlite3

work=$(mktemp -d "${TMPDIR:-/tmp}/kadrum-wine.XXXXXX")
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  if [ -n "${own_prefix:-}" ]; then WINEPREFIX=$own_prefix wineserver -k 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

if [ -z "${WINEPREFIX:-}" ]; then
  own_prefix=$work/prefix
  export WINEPREFIX=$own_prefix
  mkdir -p "$own_prefix"
  wineserver -p </dev/null >/dev/null 2>&1
fi
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# The decimal point of the sample file: Wine takes the user locale from LC_ALL.
export LC_ALL=C.UTF-8

# A display of our own, on the first free number.
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 800x600x24 -dpi 96 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
exec 3>&-
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=:$(cat "$work/display")
openbox >"$work/openbox.log" 2>&1 &
pids+=($!)
"$wine" wineboot -i >/dev/null 2>&1 </dev/null
# Windows has Tahoma; a fresh Wine prefix finds it only here.
fonts=$WINEPREFIX/drive_c/windows/Fonts
[ -f "$fonts/tahoma.ttf" ] || cp /usr/share/wine/fonts/tahoma.ttf "$fonts/"

fail() { echo "run_under_wine.sh: $*" >&2; exit 1; }
windows_path() { local path=$1; echo "Z:${path//\//\\}"; }

# The id of the visible window titled exactly $1, waiting up to 60 s.
wait_window() {
  local id
  for _ in $(seq 300); do
    for id in $(xdotool search --onlyvisible --name "$1" 2>/dev/null); do
      [ "$(xdotool getwindowname "$id" 2>/dev/null)" = "$1" ] && { echo "$id"; return 0; }
    done
    sleep 0.2
  done
  return 1
}
visible() { [ -n "$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null)" ]; }

# Waits up to 60 s for the program started as pid $1; sets "status" to its
# exit status, or to "timeout" (and ends it).
wait_exit() {
  for _ in $(seq 600); do
    if ! kill -0 "$1" 2>/dev/null; then
      status=0
      wait "$1" || status=$?
      return 0
    fi
    sleep 0.1
  done
  kill "$1" 2>/dev/null || true
  status=timeout
}

# Presses the key $2 in window $1, through the X server as a user would.
press() {
  xdotool windowactivate --sync "$1" 2>/dev/null || xdotool windowfocus --sync "$1"
  sleep 0.3
  xdotool key "$2"
}

# Clicks at the client position $2,$3 (pixels at 96 dpi) of window $1.
click() {
  xdotool windowactivate --sync "$1" 2>/dev/null || xdotool windowfocus --sync "$1"
  sleep 0.3
  xdotool mousemove --window "$1" "$2" "$3" click 1
}

sample=$work/co2_daily_mlo.txt
cp "$root/examples/co2_daily_mlo.txt" "$sample"

# 1. The unattended run.
db=$work/co2.db
: >"$db"
"$wine" "$exe" "DB=$(windows_path "$db")" RT=co2 HD=34 "FN=$(windows_path "$sample")" \
  IN=5 '*' GO ! >"$work/run1.log" 2>&1 &
wait_exit $!
[ "$status" = 0 ] || fail "GO ! ended with status $status"
records=$(sqlite3 "$db" "select count(*) from co2")
[ "$records" = 15375 ] || fail "GO ! stored $records records, not 15375"
first=$(sqlite3 "$db" "select * from co2 order by rowid limit 1")
[ "$first" = "1974.0|5.0|333.46" ] || fail "GO ! stored $first first"
echo "ok 1: GO ! stored the CO2 series and ended with status 0"

# 2. The error box of the automatic run, under the renamed copy's title.
cp "$exe" "$work/MYTOOL.V2.EXE"
"$wine" "$work/MYTOOL.V2.EXE" "DB=$(windows_path "$work/no/such/folder/x.db")" RT=co2 GO \
  >"$work/run2.log" 2>&1 &
pid=$!
box=$(wait_window Mytool) || fail "no error box captioned Mytool"
! visible Kadrum || fail "the main window was visible before the error box closed"
press "$box" Return
window=$(wait_window Kadrum) || fail "no main window after the error box"
sleep 1
kill -0 "$pid" 2>/dev/null || fail "the program ended after the error instead of staying open"
# "exit", in its middle as src/window/layout.h places it (96 dpi, as here)
click "$window" $(awk -F', *' '$2 == "\"Button3\"" {print $4 + int($6 / 2), $5 + int($7 / 2)}' \
  "$root/src/window/layout.h")
wait_exit "$pid"
[ "$status" = 0 ] || fail "exit ended the program with status $status"
echo "ok 2: the error box came first, captioned Mytool; the window stayed open; exit gave 0"

# 3. No theme: the "Fehler" box, then the window with the system's look,
# maximised as the start request asks.
"$wine" start /wait /max "$(windows_path "$bare")" >"$work/run3.log" 2>&1 &
pid=$!
box=$(wait_window Fehler) || fail "no box Fehler without the theme"
! visible Kadrum || fail "the main window was visible before the Fehler box closed"
press "$box" Return
window=$(wait_window Kadrum) || fail "no main window after the Fehler box"
xprop -id "$window" _NET_WM_STATE | grep -q MAXIMIZED_HORZ || fail "the window is not maximised"
press "$window" alt+F4
wait_exit "$pid"
[ "$status" = 0 ] || fail "closing the window ended the program with status $status"
echo "ok 3: without its theme the Fehler box came first; started maximised; closing gave 0"
