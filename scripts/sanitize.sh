#!/usr/bin/env bash
# Builds Kadrum and all its tests with g++ under AddressSanitizer and
# UndefinedBehaviorSanitizer into build-asan/ and runs the whole test suite
# there. Needs the packages of setup.sh. Any memory error, leak or undefined
# behaviour fails the test it happens in; scripts/lsan.supp lists the only
# leaks accepted, all inside system libraries.
#
#   scripts/sanitize.sh [CTEST ARGUMENTS...]   e.g. -R Import
set -euo pipefail
cd "$(dirname "$0")/.."

# Exported for the build too: gtest_discover_tests runs each test program.
export ASAN_OPTIONS=detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_string_checks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"

out=build-asan
cmake -S . -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKADRUM_SANITIZE=ON >/dev/null
# The build speaks only when it fails.
cmake --build "$out" -j"$(nproc)" >"$out/build.log" || { cat "$out/build.log"; exit 1; }
ctest --test-dir "$out" --output-on-failure -j"$(nproc)" "$@"
