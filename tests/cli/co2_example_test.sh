#!/bin/sh
# The README's main job under a German locale: examples/co2.sh, run with the
# program of this build, stores all 15375 records.
# Usage: co2_example_test.sh LOCPATH KADRUM_CLI
set -eu
db=$(mktemp "${TMPDIR:-/tmp}/kadrum-co2.XXXXXX")
trap 'rm -f "$db" "$db-wal" "$db-shm" "$db-kadrum-lock"' EXIT
out=$(LOCPATH=$1 LANG=de_DE.UTF-8 LC_ALL=de_DE.UTF-8 KADRUM_CLI=$2 \
  "$(dirname "$0")/../../examples/co2.sh" "$db")
echo "$out"
echo "$out" | grep -q '^15375 '
