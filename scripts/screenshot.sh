#!/bin/sh
# Takes a picture of the kadrum window under a virtual X server with a small
# window manager (IceWM), so the title bar and the task bar show the program
# icon, and writes docs/window.png. Builds nothing: pass the built program,
# or let it default to build/src/window/qt/kadrum. Given the Windows program
# (build-windows/src/window/win32/kadrum.exe), it runs it under wine64 in a
# Wine prefix of its own and writes docs/window-windows.png.
# Needs xvfb, xauth, x11-apps (xwd), x11-utils (xwininfo), icewm, imagemagick;
# for kadrum.exe also wine64.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
program=$(realpath "${1:-$root/build/src/window/qt/kadrum}")
out="$root/docs/window.png"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
runner=""
case "$program" in
  *.exe)
    out="$root/docs/window-windows.png"
    runner=$(command -v wine64 || echo /usr/lib/wine/wine64)
    export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    ;;
esac

if [ ! -x "$program" ]; then
  echo "screenshot.sh: $program not found; build the kadrum target first" >&2
  exit 1
fi

# A quiet task bar: the start button and the window buttons only.
mkdir "$work/icewm"
cat > "$work/icewm/preferences" <<'PREFS'
TaskBarShowWorkspaces=0
TaskBarShowClock=0
TaskBarShowAPMStatus=0
TaskBarShowCPUStatus=0
TaskBarShowNetStatus=0
TaskBarShowMEMStatus=0
TaskBarShowMailboxStatus=0
TaskBarShowWindowListMenu=0
TaskBarShowShowDesktopButton=0
TaskBarEnableSystemTray=0
DesktopBackgroundColor="rgb:5B/67/70"
PREFS
echo 'Theme="metal2/default.theme"' > "$work/icewm/theme"

# Runs inside the virtual display: start the window manager, then kadrum (no
# GO, so nothing is opened or imported), wait for its window, grab the screen.
cat > "$work/grab.sh" <<'INNER'
#!/bin/sh
set -eu
cd "$1"
if [ -n "$4" ]; then
  # A fresh Wine prefix, with the Tahoma that Windows has.
  "$4" wineboot -i > /dev/null 2>&1
  cp /usr/share/wine/fonts/tahoma.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
fi
ICEWM_PRIVCFG="$3/icewm" icewm > "$3/icewm.log" 2>&1 &
wm=$!
sleep 1
$4 "$2" DB=demo.db RT=co2 HD=34 FN=examples/co2_daily_mlo.txt IN=5 "*" &
pid=$!
tries=0
until xwininfo -name Kadrum > /dev/null 2>&1; do
  tries=$((tries + 1))
  [ "$tries" -lt 600 ] || { kill "$pid" "$wm"; exit 1; }
  sleep 0.1
done
sleep 1  # let the window and the frame paint
xwd -root -silent -out "$3/screen.xwd"
kill "$pid" "$wm"
if [ -n "$4" ]; then wineserver -k; fi
INNER
chmod +x "$work/grab.sh"

# The screen is the window with its frame, and the task bar below it.
xvfb-run -a -s "-screen 0 400x436x24 -dpi 96" \
  "$work/grab.sh" "$root" "$program" "$work" "$runner"
convert "$work/screen.xwd" "$out"
echo "wrote $out"
