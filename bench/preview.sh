#!/usr/bin/env bash
# The preview (kadrum-cli --dry-run) against awk and wc -l on 1,000,000 lines,
# and its peak memory for 10,000 and 1,000,000 lines.
source "$(dirname "$0")/common.sh"

n=1000000
generate $n "$work/big.txt"
generate 10000 "$work/small.txt"

read -r k_s k_mem < <(measure "$cli" --dry-run HD=0 FN="$work/big.txt" IN=4)
read -r a_s a_mem < <(measure awk '{print $1 "\t" $2 "\t" $4}' "$work/big.txt")
read -r w_s w_mem < <(measure wc -l "$work/big.txt")
read -r _ small_mem < <(measure "$cli" --dry-run HD=0 FN="$work/small.txt" IN=4)

printf '%-22s %10s %14s %12s\n' "1,000,000 lines" seconds lines/second "peak KiB"
printf '%-22s %10s %14s %12s\n' "kadrum-cli --dry-run" "$k_s" "$(rate $n "$k_s")" "$k_mem"
printf '%-22s %10s %14s %12s\n' "awk (\$1 \$2 \$4)" "$a_s" "$(rate $n "$a_s")" "$a_mem"
printf '%-22s %10s %14s %12s\n' "wc -l" "$w_s" "$(rate $n "$w_s")" "$w_mem"
echo "speed kadrum / awk:  $(ratio "$a_s" "$k_s")  (aim: 2 or more)"
echo "speed kadrum / wc:   $(ratio "$w_s" "$k_s")"
echo "peak memory kadrum:  10,000 lines ${small_mem} KiB, 1,000,000 lines ${k_mem} KiB"
