#!/usr/bin/env bash
# Mutation check: puts each fault of tools/mutants.txt into the source, one
# at a time, rebuilds, runs the test suite and reports whether the suite
# noticed (killed) or not (survived). Run by hand; it is not part of CI.
#
#   tools/mutate.sh              every mutant of the list
#   tools/mutate.sh NAME...      only the mutants named
#
# A mutant may name the test suites expected to catch it ("= test_a ...").
# Those are built and run first; when one of them fails the mutant is killed
# without building or running the rest. Otherwise the whole suite decides, and
# the report says that the named suites missed it. With OM_MUTATE_ONLY="test_a
# ..." only those suites are built and run, for every mutant: a quick check
# while working on them (a mutant they miss is reported as survived).
#
# It builds in its own folder (build-mutate, or $OM_MUTATE_BUILD), configured
# on first use, and leaves the source as it found it, also when interrupted.
# The X-server smoke test and the benchmark are not run. Exit status: 0 when
# every mutant was killed, 1 when any survived or was refused, 2 when the
# unchanged source does not build or pass its tests.
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
list=${OM_MUTANTS:-$top/tools/mutants.txt}
build=${OM_MUTATE_BUILD:-$top/build-mutate}
jobs=$(nproc)
logs=$build/mutate-logs
excluded='^(smoke_xvfb|bench_runs)$'

# --- the list ----------------------------------------------------------------
# A mutant is a header line "[name] path/relative/to/top", then the exact text
# as lines starting with "- ", then its replacement as lines starting with
# "+ " (a lone "-" or "+" is an empty line), and an optional "= test_a ..."
# line naming the suites expected to catch it. Lines starting with # and blank
# lines between mutants are ignored.
names=() files=() finds=() repls=() catchers=()
add_line() {  # add_line VAR-INDEX-ARRAY TEXT
  local -n arr=$1
  local i=$((${#names[@]} - 1))
  if [ -n "${arr[$i]+set}" ]; then arr[$i]+=$'\n'"$2"; else arr[$i]=$2; fi
}
lineno=0
while IFS= read -r line || [ -n "$line" ]; do
  lineno=$((lineno + 1))
  case $line in
    '#'* | '') ;;
    '['*']'*)
      name=${line#\[}; name=${name%%]*}
      file=${line#*] }
      names+=("$name"); files+=("$file") ;;
    '- '* | '-') [ ${#names[@]} -gt 0 ] || { echo "$list:$lineno: text before any mutant" >&2; exit 2; }
      add_line finds "${line:2}" ;;
    '+ '* | '+') [ ${#names[@]} -gt 0 ] || { echo "$list:$lineno: text before any mutant" >&2; exit 2; }
      add_line repls "${line:2}" ;;
    '= '*) [ ${#names[@]} -gt 0 ] || { echo "$list:$lineno: suites before any mutant" >&2; exit 2; }
      catchers[$((${#names[@]} - 1))]=${line:2} ;;
    *) echo "$list:$lineno: not understood: $line" >&2; exit 2 ;;
  esac
done <"$list"

# Which mutants to run.
selected=()
if [ $# -eq 0 ]; then
  selected=("${!names[@]}")
else
  for want in "$@"; do
    found=
    for i in "${!names[@]}"; do [ "${names[$i]}" = "$want" ] && { selected+=("$i"); found=1; }; done
    [ -n "$found" ] || { echo "no mutant named $want in $list" >&2; exit 2; }
  done
fi

occurrences() {  # occurrences FILE TEXT
  FIND=$2 perl -0777 -ne '$n = () = /\Q$ENV{FIND}\E/g; END { print $n + 0 }' "$1"
}

# --- restoring the source ------------------------------------------------------
backup=$(mktemp -d)
current=
restore() {
  if [ -n "$current" ]; then
    # A plain copy gives the file a new time, so the next build recompiles it.
    cp "$backup/original" "$top/$current"
    current=
  fi
}
cleanup() { restore; rm -rf "$backup"; }
trap cleanup EXIT

# Builds and tests run as jobs of their own, which the script waits for, so
# an interrupt reaches the script at once: it stops the job, restores the
# source (on exit) and ends, instead of counting the broken build as a
# result.
set -m
child=
run() {  # run LOG COMMAND...: the command's output goes to LOG
  local log=$1 rc=0
  shift
  "$@" >>"$log" 2>&1 &
  child=$!
  wait "$child" || rc=$?
  child=
  return "$rc"
}
interrupted() {
  [ -z "$child" ] || kill -INT -- "-$child" 2>/dev/null || true
  wait || true
  echo
  echo "interrupted: source restored"
  exit 130
}
trap interrupted INT TERM

# --- build and test ------------------------------------------------------------
if [ ! -f "$build/CMakeCache.txt" ]; then
  launcher=()
  command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  # Warnings are not errors here: a mutant must fail a test, not the compiler.
  cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOM_WERROR=OFF \
    "${launcher[@]}" >/dev/null
fi
mkdir -p "$logs"

# The programs the suites start, built with any suite.
programs=(OMBattleAnim ombattleanim-cli ombattleanim-hotexit-child)

build_and_test() {  # build_and_test LOG [SUITE...] -> 0 passed, 1 tests failed, 3 build failed
  local log=$1 suite targets=() pattern=
  shift
  if [ $# -eq 0 ]; then
    run "$log" cmake --build "$build" -j"$jobs" || return 3
    run "$log" ctest --test-dir "$build" -E "$excluded" -j"$jobs" --output-on-failure || return 1
    return 0
  fi
  for suite in "$@"; do
    # Suites run by a script rather than a test program of the same name
    # need the whole build.
    case $suite in test_*) targets+=("$suite") ;; *) targets=(all); break ;; esac
  done
  [ "${targets[0]}" = all ] || targets+=("${programs[@]}")
  pattern="^($(IFS='|'; echo "$*"))\$"
  run "$log" cmake --build "$build" -j"$jobs" --target "${targets[@]}" || return 3
  run "$log" ctest --test-dir "$build" -R "$pattern" -j"$jobs" --output-on-failure || return 1
  return 0
}

failed_tests() {  # the tests a log names as failed, on one line
  sed -n '/The following tests FAILED:/,$p' "$1" | sed -n 's/^[[:space:]]*[0-9]* - \([^ ]*\).*/\1/p' |
    tr '\n' ' ' | sed 's/ $//'
}

refused=0
for i in "${selected[@]}"; do
  f=$top/${files[$i]}
  if [ ! -f "$f" ]; then
    echo "refused  ${names[$i]}: ${files[$i]} does not exist"
    refused=$((refused + 1)); continue
  fi
  n=$(occurrences "$f" "${finds[$i]-}")
  if [ -z "${finds[$i]-}" ] || [ "$n" != 1 ]; then
    echo "refused  ${names[$i]}: its text occurs $n times in ${files[$i]}, not once"
    refused=$((refused + 1))
  fi
done
[ "$refused" -eq 0 ] || { echo "$refused mutant(s) refused; fix the list first"; exit 1; }

only=()
[ -z "${OM_MUTATE_ONLY-}" ] || read -r -a only <<<"$OM_MUTATE_ONLY"
echo "unchanged source: building and testing in $build${only:+ (only ${only[*]})}"
status=0
: >"$logs/unchanged.log"
build_and_test "$logs/unchanged.log" "${only[@]}" || status=$?
if [ "$status" -ne 0 ]; then
  echo "the unchanged source does not build or pass its tests; see $logs/unchanged.log"
  exit 2
fi

killed=0 survived=0 survivors=()
for i in "${selected[@]}"; do
  name=${names[$i]}
  f=$top/${files[$i]}
  cp -p "$f" "$backup/original"
  current=${files[$i]}
  FIND=${finds[$i]} REPL=${repls[$i]-} perl -0777 -pi -e 's/\Q$ENV{FIND}\E/$ENV{REPL}/' "$f"
  status=0 missed=
  : >"$logs/$name.log"
  if [ ${#only[@]} -gt 0 ]; then
    build_and_test "$logs/$name.log" "${only[@]}" || status=$?
  else
    first=()
    [ -z "${catchers[$i]-}" ] || read -r -a first <<<"${catchers[$i]}"
    if [ ${#first[@]} -gt 0 ]; then
      build_and_test "$logs/$name.log" "${first[@]}" || status=$?
      [ "$status" -ne 0 ] || missed=" (missed by ${first[*]})"
    fi
    [ "$status" -ne 0 ] || build_and_test "$logs/$name.log" || status=$?
  fi
  restore
  case $status in
    0) survived=$((survived + 1)); survivors+=("$name")
       printf 'survived %-32s %s\n' "$name" "${files[$i]}" ;;
    1) killed=$((killed + 1))
       printf 'killed   %-32s %s (failed: %s)%s\n' "$name" "${files[$i]}" "$(failed_tests "$logs/$name.log")" "$missed" ;;
    *) killed=$((killed + 1))
       printf 'killed   %-32s %s (does not build)\n' "$name" "${files[$i]}" ;;
  esac
done

echo "summary: ${#selected[@]} mutants, $killed killed, $survived survived${survivors:+ (${survivors[*]})}"
echo "logs: $logs"
[ "$survived" -eq 0 ]
