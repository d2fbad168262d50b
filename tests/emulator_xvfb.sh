#!/usr/bin/env bash
# emulator_xvfb.sh EDITOR CLI
#
# Tools > Run in Emulator with the real mednafen, on a real X server under
# openbox, by keys alone: `OMBattleAnim demo.smc`, a byte typed and not
# saved, F5. mednafen (found in /usr/games, no command set) opens its window
# on the copy in $XDG_RUNTIME_DIR/OMBattleAnim, whose bytes are the ROM's
# with that byte; the ROM and the unsaved mark are unchanged. The test
# closes mednafen's window (Alt+F4, the window manager's close) and nothing
# is reported; Ctrl+Q then leaves no copy. Skipped (77) only when no X
# server can be reached at all.
set -u
app=$(realpath "$1")
cli=$(realpath "$2")
mednafen=/usr/games/mednafen
tmp=$(mktemp -d)
. "$(dirname "$0")/xvfb_lib.sh"
export XDG_CONFIG_HOME=$tmp/config
export XDG_STATE_HOME=$tmp/state
export XDG_RUNTIME_DIR=$tmp/run
# mednafen keeps its settings and battery saves under $HOME/.mednafen.
export HOME=$tmp/home
mkdir -p -m 700 "$XDG_RUNTIME_DIR" "$HOME"
wm=""
pid=""
emu=""
cleanup() {
  # mednafen, the editor, then openbox, each only if it still runs here.
  for p in $emu $pid $wm; do kill $p 2>/dev/null; done
  [ -n "$wm" ] && wait $wm 2>/dev/null
  stop_server
  rm -rf "$tmp"
}
trap cleanup EXIT
command -v openbox >/dev/null || { echo "openbox missing: run tools/setup-machine.sh"; exit 1; }
[ -x "$mednafen" ] || { echo "$mednafen missing: run tools/setup-machine.sh"; exit 1; }
start_server_or_skip

failed() {
  echo "FAIL: $*"
  echo "--- the editor and mednafen said"; cat "$tmp/app.log" 2>/dev/null
  echo "--- openbox said"; cat "$tmp/openbox.log" 2>/dev/null
  diagnose
  exit 1
}

start_openbox || failed "openbox did not take the screen"

title_is() {  # title_is TEXT: waits up to 10 s for the main window's title
  for _ in $(seq 100); do
    [ "$(xdotool getwindowname "$win" 2>/dev/null)" = "$1" ] && return 0
    sleep 0.1
  done
  return 1
}

"$cli" make-demo-rom "$tmp/demo.smc" >/dev/null || failed "no demo image"
cp "$tmp/demo.smc" "$tmp/before.smc"
(cd "$tmp" && exec "$app" demo.smc) >"$tmp/app.log" 2>&1 &
pid=$!
win=""
for _ in $(seq 900); do
  win=$(xdotool search --onlyvisible --name "Orbitmarsh Battle Animation Editor$" 2>/dev/null | head -1)
  [ -n "$win" ] && [ "$(xdotool getwindowname "$win")" = "demo.smc - Orbitmarsh Battle Animation Editor" ] && break
  kill -0 $pid 2>/dev/null || failed "the editor ended before its window appeared"
  sleep 0.1
done
title_is "demo.smc - Orbitmarsh Battle Animation Editor" || failed "the ROM did not open"
sleep 0.5
xdotool windowactivate --sync "$win" >/dev/null 2>&1 || xdotool windowfocus --sync "$win"
# The focus starts in the group list: Shift+Tab reaches group 0's layer 2
# high byte, its value selected; 77 is typed over it and not saved.
xdotool key shift+Tab
sleep 0.2
xdotool type --delay 50 "77"
title_is "demo.smc* - Orbitmarsh Battle Animation Editor" || failed "the typed byte is not shown unsaved"
xdotool key F5

# mednafen, the editor's child, shows its window (titled by the image's name).
for _ in $(seq 300); do
  emu=$(pgrep -P $pid | head -1)
  [ -n "$emu" ] && break
  sleep 0.1
done
[ -n "$emu" ] || failed "F5 started no program"
[ "$(readlink /proc/$emu/exe)" = "$(readlink -f $mednafen)" ] ||
  failed "F5 started $(readlink /proc/$emu/exe), not $mednafen"
emu_win=""
for _ in $(seq 600); do
  emu_win=$(xdotool search --onlyvisible --classname '^mednafen$' 2>/dev/null | head -1)
  [ -n "$emu_win" ] && break
  kill -0 $emu 2>/dev/null || failed "mednafen ended before its window appeared"
  sleep 0.1
done
[ -n "$emu_win" ] || failed "mednafen's window did not appear"
echo "F5: mednafen ($emu) shows its window '$(xdotool getwindowname "$emu_win")'"

# It runs the copy: the ROM's bytes with the typed one.
copy=$(tr '\0' '\n' </proc/$emu/cmdline | tail -1)
case "$copy" in
  "$XDG_RUNTIME_DIR"/OMBattleAnim/*/demo.smc) ;;
  *) failed "mednafen was given '$copy', not a copy named demo.smc in $XDG_RUNTIME_DIR/OMBattleAnim" ;;
esac
offset=$((0xBDA9E + 3))
changes=$(cmp -l "$tmp/demo.smc" "$copy" 2>&1)
new=$(od -An -tu1 -j$offset -N1 "$copy" | tr -d ' ')
[ "$new" = 77 ] && [ "$(echo "$changes" | wc -l)" -eq 1 ] &&
  [ "$(stat -c %s "$copy")" -eq "$(stat -c %s "$tmp/demo.smc")" ] ||
  failed "the copy differs from the ROM by '$changes', not by 77 at $(printf 0x%X $offset) alone"
cmp -s "$tmp/before.smc" "$tmp/demo.smc" || failed "F5 changed the ROM"
title_is "demo.smc* - Orbitmarsh Battle Animation Editor" || failed "F5 changed the unsaved mark"
echo "the copy $copy is the ROM with 77 at $(printf 0x%X $offset); the ROM is unchanged, still marked unsaved"

# The test closes mednafen's window as a user does; the editor reports nothing.
windows_before=$(xdotool search --onlyvisible --pid $pid 2>/dev/null | wc -l)
xdotool windowactivate --sync "$emu_win" >/dev/null 2>&1 || xdotool windowfocus --sync "$emu_win"
sleep 0.3
# Typed as a user types it, for openbox to close the active window: sent to
# mednafen's window itself, xdotool could lose that window half way through
# (BadWindow) and leave the editor unable to take Ctrl+Q afterwards.
xdotool key alt+F4
for _ in $(seq 100); do kill -0 $emu 2>/dev/null || break; sleep 0.1; done
kill -0 $emu 2>/dev/null && failed "closing mednafen's window did not end it"
emu=""
sleep 0.5
kill -0 $pid 2>/dev/null || failed "the editor ended with mednafen"
[ "$(xdotool search --onlyvisible --pid $pid 2>/dev/null | wc -l)" -eq "$windows_before" ] ||
  failed "the editor showed a window when mednafen was closed"
echo "mednafen's window closed; the editor reported nothing"

xdotool windowactivate --sync "$win" >/dev/null 2>&1 || xdotool windowfocus --sync "$win"
xdotool key ctrl+q
for _ in $(seq 100); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
kill -0 $pid 2>/dev/null && failed "Ctrl+Q did not end the program"
wait $pid
status=$?
pid=""
[ $status -eq 0 ] || failed "the editor ended with status $status"
[ -z "$(ls -A "$XDG_RUNTIME_DIR/OMBattleAnim" 2>/dev/null)" ] ||
  failed "the copy was left behind: $(ls -R "$XDG_RUNTIME_DIR/OMBattleAnim")"
cmp -s "$tmp/before.smc" "$tmp/demo.smc" || failed "the ROM changed"
echo "Ctrl+Q: the editor ended with status 0 and left no copy"
