#!/bin/sh
# Takes a picture of the kadrum window under a virtual X server and writes
# docs/window.png. Builds nothing: pass the built program, or let it default
# to build/src/app/kadrum. Needs xvfb, x11-apps (xwd) and imagemagick.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
program=$(realpath "${1:-$root/build/src/app/kadrum}")
out="$root/docs/window.png"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if [ ! -x "$program" ]; then
  echo "screenshot.sh: $program not found; build the kadrum target first" >&2
  exit 1
fi

# Runs inside the virtual display: start kadrum (no GO, so nothing is opened
# or imported), wait for its window, grab it. There is no window manager, so
# the picture is the client area alone.
cat > "$work/grab.sh" <<'INNER'
#!/bin/sh
set -eu
cd "$1"
"$2" DB=demo.db RT=co2 HD=34 FN=examples/co2_daily_mlo.txt IN=5 "*" &
pid=$!
tries=0
until xwininfo -name Kadrum > /dev/null 2>&1; do
  tries=$((tries + 1))
  [ "$tries" -lt 100 ] || { kill "$pid"; exit 1; }
  sleep 0.1
done
sleep 1  # let the window paint
xwd -silent -name Kadrum -out "$3/window.xwd"
kill "$pid"
INNER
chmod +x "$work/grab.sh"

xvfb-run -a -s "-screen 0 640x480x24 -dpi 96" \
  "$work/grab.sh" "$root" "$program" "$work"
convert "$work/window.xwd" "$out"
echo "wrote $out"
