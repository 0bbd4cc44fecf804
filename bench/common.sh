# Shared by the benchmark scripts: data generation and measuring.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cli=${KADRUM_CLI:-$root/build/src/cli/kadrum-cli}
[ -x "$cli" ] || { echo "build first: ./setup.sh" >&2; exit 1; }
command -v /usr/bin/time >/dev/null || apt-get install -y -qq time >/dev/null
work=$(mktemp -d -t kadrum-bench-XXXXXX)
trap 'rm -rf "$work"' EXIT

# generate N FILE: N lines shaped like the daily CO2 series (year, month,
# day, decimal year, ppm), no header.
generate() {
  awk -v n="$1" 'BEGIN {
    for (i = 0; i < n; i++) {
      y = 1974 + int(i / 365); d = i % 365
      printf "  %d  %2d  %2d  %.4f    %.2f\n", y, 1 + int(d / 31), 1 + d % 28, y + d / 365, 330 + (i % 9000) / 97
    }
  }' > "$2"
}

# timed CMD...: one run; prints "seconds peak_kib".
timed() {
  local t0 t1
  t0=$(date +%s%N)
  /usr/bin/time -o "$work/mem" -f "%M" "$@" >/dev/null 2>/dev/null || true
  t1=$(date +%s%N)
  echo "$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f", (b - a) / 1e9 }') $(tail -n 1 "$work/mem")"
}

# measure CMD...: the best time of three runs and the highest peak memory.
measure() {
  local best="" peak=0 secs kib
  for _ in 1 2 3; do
    read -r secs kib < <(timed "$@")
    if [ -z "$best" ] || awk -v a="$secs" -v b="$best" 'BEGIN { exit !(a < b) }'; then best=$secs; fi
    if [ "$kib" -gt "$peak" ]; then peak=$kib; fi
  done
  echo "$best $peak"
}

# best SECONDS SECONDS: the smaller; the first may be empty.
best() { awk -v a="$1" -v b="$2" 'BEGIN { print (a == "" || b + 0 < a + 0) ? b : a }'; }
rate() { awk -v n="$1" -v s="$2" 'BEGIN { printf "%.0f", (s > 0 ? n / s : 0) }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }'; }
