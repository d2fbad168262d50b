#!/usr/bin/env bash
# Reliability check of hot exit, run by hand (not in CI), beside
# tools/reliability.sh:
#
#   tools/reliability-hotexit.sh [BUILD]
#
# BUILD is the build folder (build by default); it needs bin/OMBattleAnim's
# test child (bin/ombattleanim-hotexit-child) and bin/ombattleanim-cli.
# Everything happens in a temporary folder, with its own state, settings and
# runtime folders.
#
# 1. Hostile names: for each ROM name of the table below (and a twin beside
#    it, a copy of the same bytes under a near name), an editor opens the
#    ROM, an edit is typed and the editor is killed with SIGKILL once the
#    recovery is due. Then an editor opens the twin: it must show the twin
#    untouched (else a wrong restore); and one opens the ROM: it must show
#    the edit, marked unsaved (else a lost edit). The ROM files themselves
#    must be unchanged.
# 2. Damaged recoveries: the recovery of a killed editor is damaged in each
#    way below. The next editor must not apply it (else a wrong restore),
#    must say so in one message, and must keep the damaged files aside
#    (else a lost edit); an edit typed after that is given back again.
#
# Every editor has 60 s to open the ROM and type, or to show it and end:
# one that does not is a hang. Prints the counts; exit status 1 when any count of faults is not 0.
set -uo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$top/build}")
child=$build/bin/ombattleanim-hotexit-child
cli=$build/bin/ombattleanim-cli
for p in "$child" "$cli"; do
  [ -x "$p" ] || { echo "no $p; build first" >&2; exit 2; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
export XDG_STATE_HOME=$work/state XDG_CONFIG_HOME=$work/config
export XDG_RUNTIME_DIR=$work/run XDG_DATA_HOME=$work/data
export QT_QPA_PLATFORM=offscreen
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
unsaved=$XDG_STATE_HOME/OMBattleAnim/unsaved
roms=$work/roms
mkdir -p "$roms"
"$cli" make-demo-rom "$work/orig.smc" >/dev/null || exit 2

lost=0 wrong=0 hangs=0 changed=0 untold=0 cases=0
fail() { echo "  $1: $2" >&2; }

# edit_and_kill ROM VALUE [ROW]: an editor types VALUE into ROM (the group of
# the list's ROW), is killed once the recovery is due. False when it hung or
# never typed.
edit_and_kill() {
  local out=$work/child.out
  "$child" "$@" >"$out" 2>/dev/null &
  local pid=$! i
  for ((i = 0; i < 600; i++)); do
    grep -q '^typed$' "$out" 2>/dev/null && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if ! grep -q '^typed$' "$out" 2>/dev/null; then
    # Still there after a minute without typing: a hang.
    kill -0 "$pid" 2>/dev/null && hangs=$((hangs + 1))
    { kill -KILL "$pid"; wait "$pid"; } 2>/dev/null
    return 1
  fi
  # The recovery is written within a second of the last edit.
  sleep 2
  { kill -KILL "$pid"; wait "$pid"; } 2>/dev/null
  return 0
}

# look ROM [ROW]: what an editor shows of ROM ("value=V modified=M
# messages=N" and the messages), in $seen; false when it hung or failed.
look() {
  seen=$(timeout 60 "$child" --look "$@" 2>/dev/null)
  local s=$?
  [ $s = 124 ] && hangs=$((hangs + 1))
  [ $s = 0 ]
}

original_value() { look "$work/orig.smc" && sed -n 's/^value=\([^ ]*\).*/\1/p' <<<"$seen"; }
base=$(original_value)
[ -n "$base" ] || { echo "the editor does not open the demo ROM" >&2; exit 2; }
edit=77
[ "$base" = 77 ] && edit=78

# --- 1. hostile names ------------------------------------------------------------
names=() twins=() labels=()
add() { labels+=("$1"); names+=("$2"); twins+=("$3"); }
add "Latin-1 pair" $'caf\xe9.smc' $'caf\xe8.smc'
add "bytes never UTF-8" $'\xff\xfe.smc' $'\xfe\xff.smc'
add "a leading dot" ".dot.smc" "dot.smc"
add "only dots" "...smc" "..smc"
# The first 64 bytes of the name end inside a character, at every cut.
for c in $'\xc3\xa9' $'\xe3\x81\x82' $'\xf0\x9f\x90\x89'; do
  n=$(printf %s "$c" | wc -c)
  for ((inside = 1; inside < n; inside++)); do
    start=$(printf 'a%.0s' $(seq $((64 - inside))))$c
    add "$n-byte character cut after $inside" "$start.smc" "${start}2.smc"
  done
done
add "255 bytes" "$(printf 'n%.0s' $(seq 251)).smc" "$(printf 'n%.0s' $(seq 250))m.smc"
add "255 bytes of 3-byte characters" "$(printf $'\xe3\x81\x82%.0s' $(seq 83))ab.smc" \
  "$(printf $'\xe3\x81\x82%.0s' $(seq 83))ac.smc"
add "control characters" $'\x01tab\there\nline\x1b[0m\r.smc' $'\x01tab\there\nline\x1b[1m\r.smc'
add "backslashes" 'a\b\n.smc' 'a\\b\n.smc'
add "spaces" " my  rom .smc" "my  rom .smc"
add "a leading dash" "-rom.smc" "--rom.smc"
add "a wildcard's characters" "rom [!]*.smc" "rom [!].smc"

for k in "${!names[@]}"; do
  cases=$((cases + 1))
  rm -rf "$roms" "$XDG_STATE_HOME" && mkdir -p "$roms"
  rom=$roms/${names[k]} twin=$roms/${twins[k]}
  cp "$work/orig.smc" "$rom" && cp "$work/orig.smc" "$twin" || { fail "${labels[k]}" "not made"; continue; }
  edit_and_kill "$rom" "$edit" || { fail "${labels[k]}" "the editor did not open it"; lost=$((lost + 1)); continue; }
  if look "$twin"; then
    grep -q "^value=$base modified=0 " <<<"$seen" || { wrong=$((wrong + 1)); fail "${labels[k]}" "twin shows $seen"; }
  fi
  if look "$rom"; then
    grep -q "^value=$edit modified=1 messages=0" <<<"$seen" || { lost=$((lost + 1)); fail "${labels[k]}" "shows $seen"; }
  else
    lost=$((lost + 1))
  fi
  for f in "$rom" "$twin"; do cmp -s "$f" "$work/orig.smc" || changed=$((changed + 1)); done
done
names_done=$cases

# --- 2. damaged recoveries -------------------------------------------------------
# damage KIND STEM: damages the recovery STEM.bps / STEM.txt as KIND says.
damage() {
  case $1 in
    "description deleted") rm -f "$2.txt" ;;
    "description cut short") truncate -s -2 "$2.txt" ;;
    "description emptied") truncate -s 0 "$2.txt" ;;
    "patch deleted") rm -f "$2.bps" ;;
    "patch damaged") printf '\x55' | dd of="$2.bps" bs=1 seek=20 conv=notrunc status=none ;;
    "patch of another ROM copied over") cp "$3.bps" "$2.bps" ;;
    "description of another ROM copied over") cp "$3.txt" "$2.txt" ;;
  esac
}
for kind in "description deleted" "description cut short" "description emptied" "patch deleted" \
  "patch damaged" "patch of another ROM copied over" "description of another ROM copied over"; do
  cases=$((cases + 1))
  rm -rf "$roms" "$XDG_STATE_HOME" && mkdir -p "$roms"
  rom=$roms/game.smc other=$roms/other.smc
  cp "$work/orig.smc" "$rom" && cp "$work/orig.smc" "$other"
  # The other ROM's recovery changes another group (the list's row 5).
  edit_and_kill "$other" 201 5 && edit_and_kill "$rom" "$edit" || { lost=$((lost + 1)); continue; }
  stem=$(ls "$unsaved" | sed -n 's/^\(game\.smc-.*\)\.bps$/\1/p')
  ostem=$(ls "$unsaved" | sed -n 's/^\(other\.smc-.*\)\.bps$/\1/p')
  [ -n "$stem" ] && [ -n "$ostem" ] || { lost=$((lost + 1)); fail "$kind" "no recovery written"; continue; }
  damage "$kind" "$unsaved/$stem" "$unsaved/$ostem"
  kept=$(cat "$unsaved/$stem".* 2>/dev/null | md5sum)
  if look "$rom"; then
    grep -q "^value=$base modified=0 " <<<"$seen" || { wrong=$((wrong + 1)); fail "$kind" "shows $seen"; }
    grep -q "messages=1$" <<<"$seen" || { untold=$((untold + 1)); fail "$kind" "told: $seen"; }
  fi
  aside=$(cat "$unsaved/$stem".damaged-1.* 2>/dev/null | md5sum)
  [ "$aside" = "$kept" ] || { lost=$((lost + 1)); fail "$kind" "not kept aside"; }
  # Editing goes on, and the next recovery is given back.
  if edit_and_kill "$rom" "$edit" && look "$rom"; then
    grep -q "^value=$edit modified=1 messages=0" <<<"$seen" || { lost=$((lost + 1)); fail "$kind" "then shows $seen"; }
  fi
  # The other ROM's own edits are untouched.
  if look "$other" 5; then
    grep -q "^value=201 modified=1 " <<<"$seen" || { lost=$((lost + 1)); fail "$kind" "other shows $seen"; }
  fi
  for f in "$rom" "$other"; do cmp -s "$f" "$work/orig.smc" || changed=$((changed + 1)); done
done

echo "hot exit: $names_done hostile names, $((cases - names_done)) damaged recoveries"
echo "lost edits: $lost"
echo "wrong restores: $wrong"
echo "hangs: $hangs"
echo "ROM files changed: $changed"
echo "damaged recoveries not told: $untold"
[ $((lost + wrong + hangs + changed + untold)) = 0 ]
