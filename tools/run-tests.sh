#!/usr/bin/env bash
# Builds everything as users do (Release) with warnings as errors and runs
# every test, then builds
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
  # CTest keeps a skipped test's reason in its log only; show it.
  sed -n '/^SKIPPED:/,/^<end of output>/p' "$dir/Testing/Temporary/LastTest.log" 2>/dev/null || true
}

echo "== Release build (what users and distributions build), warnings as errors"
# Configured for /usr, as a distribution or a Debian package builds it, so
# that install_check has lintian judge the package.
run_suite "$top/build-ci" -DCMAKE_BUILD_TYPE=Release -DOM_WERROR=ON -DCMAKE_INSTALL_PREFIX=/usr

echo "== AddressSanitizer + UndefinedBehaviorSanitizer build"
# LeakSanitizer stops the program's threads the way a debugger does; some
# sandboxes forbid that, and then every sanitized test would die at exit. A
# tiny probe tells, and only then are leaks left unchecked.
leaks=1
probe=$(mktemp -d)
echo 'int main(void) { return 0; }' >"$probe/p.c"
if ! { cc -fsanitize=address "$probe/p.c" -o "$probe/p" &&
       ASAN_OPTIONS=detect_leaks=1 "$probe/p"; } >"$probe/log" 2>&1; then
  echo "LeakSanitizer cannot run on this machine; leaks are not checked:"
  cat "$probe/log"
  leaks=0
fi
rm -rf "$probe"
export ASAN_OPTIONS=detect_leaks=$leaks:abort_on_error=1
export LSAN_OPTIONS=suppressions=$top/tests/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
run_suite "$top/build-asan" -DCMAKE_BUILD_TYPE=Debug -DOM_WERROR=ON -DOM_SANITIZE=ON
