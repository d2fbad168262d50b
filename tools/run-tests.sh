#!/usr/bin/env bash
# Builds everything with warnings as errors and runs every test, then builds
# again with AddressSanitizer and UndefinedBehaviorSanitizer and runs the
# tests a second time.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/tools/setup-machine.sh"
jobs=$(nproc)

run_suite() {
  local dir=$1; shift
  cmake -S "$top" -B "$dir" "$@"
  cmake --build "$dir" -j"$jobs"
  (cd "$dir" && ctest --output-on-failure -j"$jobs")
}

echo "== normal build, warnings as errors"
run_suite "$top/build-ci" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOM_WERROR=ON

echo "== AddressSanitizer + UndefinedBehaviorSanitizer build"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS=suppressions=$top/tests/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
run_suite "$top/build-asan" -DCMAKE_BUILD_TYPE=Debug -DOM_WERROR=ON -DOM_SANITIZE=ON
