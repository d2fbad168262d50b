#!/usr/bin/env bash
# Reliability check of hot exit, run by hand (not in CI):
#
#   tools/reliability_hotexit.sh [BUILD]
#
# BUILD is the build folder (build by default) holding bin/ombattleanim-cli
# and bin/ombattleanim-hotexit-child (tests/hotexit_child.cpp), a window of
# the editor driven from the command line.
#
# 1. Hostile names: for each name of a table (names that are not UTF-8 and
#    a copy differing in one such byte, leading dots, every cut of a 2-, 3-
#    and 4-byte character at the 64-byte limit, 255-byte names, control
#    characters, backslashes, spaces, leading dashes, a wildcard's
#    characters), a ROM and a twin of the same content lie side by side.
#    The ROM is edited and the window ends (and, once more, the window is
#    killed with SIGKILL two seconds after the edit); the twin must then
#    open unedited and the ROM with its edit.
# 2. Damaged recoveries: a recovery's description deleted, cut short,
#    emptied or copied from another ROM's, its patch deleted, damaged or
#    copied from another ROM's. The ROM must open unedited with one report;
#    the files must be set aside unchanged, and survive the next edit's
#    recovery, which is given back.
#
# Every run of the window is bounded by 60 s. Prints the counts; exit status
# 1 when any of lost edits, wrong restores and hangs is not 0.
set -uo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$top/build}")
cli=$build/bin/ombattleanim-cli
child=$build/bin/ombattleanim-hotexit-child
for p in "$cli" "$child"; do
  [ -x "$p" ] || { echo "no $p; build it first" >&2; exit 2; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
export QT_QPA_PLATFORM=offscreen XDG_STATE_HOME=$work/state XDG_CONFIG_HOME=$work/config
state=$XDG_STATE_HOME/OMBattleAnim/unsaved
"$cli" make-demo-rom "$work/ref.smc" >/dev/null || exit 2

lost=0 wrong=0 hangs=0 runs=0 names=0 damaged=0

# session ROM VALUE: the window on ROM, VALUE typed ("-": nothing); prints
# what it showed ("restored=N modified=M boxes=B") or "hang".
session() {
  runs=$((runs + 1))
  local out
  out=$(timeout 60 "$child" --session "$1" "$2" 2>/dev/null)
  local status=$?
  if [ "$status" = 124 ]; then hangs=$((hangs + 1)); echo hang; return; fi
  echo "$out"
}
# killed ROM: the window types 77 and is killed two seconds later.
killed() {
  runs=$((runs + 1))
  coproc KID { exec "$child" "$1" 2>/dev/null; }
  local pid=$KID_PID line=""
  read -r -t 60 line <&"${KID[0]}"
  if [ "$line" != typed ]; then hangs=$((hangs + 1)); kill -KILL "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; return; fi
  sleep 2
  kill -KILL "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
}

# --- 1. hostile names ---------------------------------------------------------
a63=$(printf 'a%.0s' {1..63}) a62=${a63:1} a61=${a62:1}
n251=$(printf 'n%.0s' {1..251}) n250=${n251:1}
ja83=$(printf '\xe3\x81\x82%.0s' {1..83})
# name, then its twin; one pair a line, split at the tab.
table=(
  $'caf\xe9.smc\tcaf\xe8.smc'
  $'\xff\xfe.smc\t\xfe\xff.smc'
  $'.dot.smc\tdot.smc'
  $'...smc\t..smc'
  "$a63"$'\xc3\xa9.smc\t'"$a63"$'\xc3\xa92.smc'
  "$a63"$'\xe3\x81\x82.smc\t'"$a63"$'\xe3\x81\x822.smc'
  "$a62"$'\xe3\x81\x82.smc\t'"$a62"$'\xe3\x81\x822.smc'
  "$a63"$'\xf0\x9f\x90\x89.smc\t'"$a63"$'\xf0\x9f\x90\x892.smc'
  "$a62"$'\xf0\x9f\x90\x89.smc\t'"$a62"$'\xf0\x9f\x90\x892.smc'
  "$a61"$'\xf0\x9f\x90\x89.smc\t'"$a61"$'\xf0\x9f\x90\x892.smc'
  "$n251.smc"$'\t'"${n250}m.smc"
  "${ja83}ab.smc"$'\t'"${ja83}ac.smc"
  $'\x01tab\there\nline\x1b[0m\r.smc\t\x01tab\there\nline\x1b[1m\r.smc'
  $'a\\b\\n.smc\ta\\\\b\\n.smc'
  $' my  rom .smc\tmy  rom .smc'
  $'-rom.smc\t--rom.smc'
  $'rom [!]*.smc\trom [!].smc'
)
# check_pair NAME TWIN: the edit kept for NAME only.
check_pair() {
  local out
  out=$(session "$2" -)
  case $out in *modified=1*) wrong=$((wrong + 1)) ;; esac
  out=$(session "$1" -)
  case $out in *"restored=77 modified=1"*) ;; hang) ;; *) lost=$((lost + 1)) ;; esac
  rm -rf "$state"
}
i=0
for pair in "${table[@]}"; do
  i=$((i + 1))
  name=${pair%%$'\t'*} twin=${pair#*$'\t'}
  dir=$work/names/$i
  mkdir -p "$dir"
  cp "$work/ref.smc" "$dir/$name" && cp "$work/ref.smc" "$dir/$twin" || { echo "cannot make row $i" >&2; exit 2; }
  names=$((names + 1))
  session "$dir/$name" 77 >/dev/null
  check_pair "$dir/$name" "$dir/$twin"
  killed "$dir/$name"
  check_pair "$dir/$name" "$dir/$twin"
done
echo "hostile names: ${#table[@]} names, each with a twin, edited and left by the window's end and by SIGKILL"

# --- 2. damaged recoveries ------------------------------------------------------
rom=$work/damaged/game.smc copy=$work/damaged/copy.smc
mkdir -p "$work/damaged"
for damage in "description deleted" "description cut short" "description emptied" \
              "description copied" "patch deleted" "patch damaged" "patch copied"; do
  rm -rf "$state"
  cp "$work/ref.smc" "$rom" && cp "$work/ref.smc" "$copy"
  session "$copy" 201 >/dev/null
  session "$rom" 77 >/dev/null
  bps=$(ls "$state"/game.smc-*.bps) txt=${bps%.bps}.txt
  ours=${bps%.bps}
  theirs=$(ls "$state"/copy.smc-*.bps) theirs=${theirs%.bps}
  case $damage in
    "description deleted") rm "$txt" ;;
    "description cut short") truncate -s -2 "$txt" ;;
    "description emptied") truncate -s 0 "$txt" ;;
    "description copied") cp "$theirs.txt" "$txt" ;;
    "patch deleted") rm "$bps" ;;
    "patch damaged") printf '\x55' | dd of="$bps" bs=1 seek=20 conv=notrunc status=none ;;
    "patch copied") cp "$theirs.bps" "$bps" ;;
  esac
  mkdir -p "$work/kept"
  rm -f "$work/kept"/*
  for e in bps txt; do [ -e "$ours.$e" ] && cp "$ours.$e" "$work/kept/$e"; done
  damaged=$((damaged + 1))
  out=$(session "$rom" 55)
  case $out in *modified=1*) wrong=$((wrong + 1)) ;; hang) ;; *boxes=1*) ;; *) lost=$((lost + 1)) ;; esac
  out=$(session "$rom" -)
  case $out in *"restored=55 modified=1 boxes=0"*) ;; hang) ;; *) lost=$((lost + 1)) ;; esac
  # Set aside whole, and still there after the next recovery.
  for e in bps txt; do
    if [ -e "$work/kept/$e" ]; then
      cmp -s "$work/kept/$e" "$ours.damaged-1.$e" || lost=$((lost + 1))
    fi
  done
done
echo "damaged recoveries: $damaged kinds of damage, each opened, edited anew and opened again"

echo
echo "window runs: $runs"
echo "lost edits: $lost"
echo "wrong restores: $wrong"
echo "hangs: $hangs"
[ $((lost + wrong + hangs)) = 0 ]
