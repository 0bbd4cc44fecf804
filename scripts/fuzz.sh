#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang (ASan and UBSan on) into
# build-fuzz/ and runs each for SECONDS (default 300), as many at once as
# there are cores. Fails when any target crashes, hangs or breaks one of its
# checks; the input that did it is kept in build-fuzz/artifacts/.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]   TARGET: arguments lines integer_text float_text statement
#
# SECONDS 0 only replays the corpus. The seed corpus in fuzz/corpus/ is only
# read; what the fuzzers find grows build-fuzz/corpus/ from run to run.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-300}
[ $# -gt 0 ] && shift
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(arguments lines text_decoder integer_text float_text statement)

# The normal build's packages come from setup.sh; Debian's clang only
# recommends the fuzzer and sanitizer runtimes, so name them.
scripts/install-packages.sh clang libclang-rt-14-dev cmake ninja-build libsqlite3-dev libpq-dev

out=build-fuzz
CC=clang CXX=clang++ cmake -S . -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKADRUM_BUILD_FUZZERS=ON -DKADRUM_SANITIZE=ON \
  -DKADRUM_BUILD_TESTS=OFF -DKADRUM_BUILD_WINDOW=OFF >/dev/null
# The build speaks only when it fails.
cmake --build "$out" -j"$(nproc)" --target "${targets[@]/%/_fuzzer}" >"$out/build.log" || { cat "$out/build.log"; exit 1; }

# Runs one target and leaves its exit status in $out/logs/TARGET.rc.
run_one() {
  local target=$1
  local limit=(-max_total_time="$seconds")
  [ "$seconds" -eq 0 ] && limit=(-runs=0)
  local dict=()
  [ -f "fuzz/$target.dict" ] && dict=(-dict="fuzz/$target.dict")
  mkdir -p "$out/corpus/$target"
  local rc=0
  # -timeout: a single input taking this long is a hang, not slowness.
  "$out/fuzz/${target}_fuzzer" "${limit[@]}" "${dict[@]}" -timeout=10 \
    -artifact_prefix="$out/artifacts/$target-" \
    "$out/corpus/$target" "fuzz/corpus/$target" >"$out/logs/$target.log" 2>&1 || rc=$?
  echo "$rc" >"$out/logs/$target.rc"
}

mkdir -p "$out/logs" "$out/artifacts"
for target in "${targets[@]}"; do
  run_one "$target" &
  while [ "$(jobs -rp | wc -l)" -ge "$(nproc)" ]; do wait -n || true; done
done
wait

passed=0
failed=0
for target in "${targets[@]}"; do
  if [ "$(cat "$out/logs/$target.rc")" -eq 0 ]; then
    passed=$((passed + 1))
    echo "fuzz $target: $(grep -E '^#[0-9]+[[:space:]]+(DONE|INITED)' "$out/logs/$target.log" | tail -n 1)"
  else
    failed=$((failed + 1))
    echo "fuzz $target: FAILED (exit $(cat "$out/logs/$target.rc")), log $out/logs/$target.log"
    grep -v -E '^(#[0-9]+ |INFO:|MERGE)' "$out/logs/$target.log" | tail -n 40
  fi
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
