#!/usr/bin/env bash
# desktop_xvfb.sh EDITOR CLI DRAGSOURCE
#
# The editor on a real X server with a real window manager (openbox), as a
# user meets it:
# 1. `OMBattleAnim demo.smc`: the window shows the loaded ROM, Alt+F drops
#    down the File menu, Ctrl+S saves (the file's bytes show it), Ctrl+Q
#    ends the program cleanly.
# 2. `OMBattleAnim` alone, and demo.smc dragged from another program and
#    dropped on the window: it loads, and Ctrl+S saves into it.
# Both ROMs are then in the recent files, in the settings file under
# $XDG_CONFIG_HOME (a private one here, never the user's).
# 3. Hot exit, by keys alone: `OMBattleAnim demo.smc`, a byte typed and not
#    saved, Ctrl+Q; the file is unchanged and a recovery is in
#    $XDG_STATE_HOME (a private one). Started again, the editor shows the
#    edit with "*" in its title; Ctrl+Z takes it back (no "*"), and Ctrl+Q
#    then leaves no recovery.
#
# What proves a ROM was loaded: the byte fields are enabled only with a ROM
# open, and a value typed into one reaches that file with Ctrl+S. Skipped
# (77) only when no X server can be reached at all.
set -u
app=$(realpath "$1")
cli=$(realpath "$2")
dragsource=$(realpath "$3")
tmp=$(mktemp -d)
. "$(dirname "$0")/xvfb_lib.sh"
export XDG_CONFIG_HOME=$tmp/config
export XDG_STATE_HOME=$tmp/state
settings=$XDG_CONFIG_HOME/OMBattleAnim/OMBattleAnim.conf
wm=""
pid=""
drag=""
cleanup() {
  [ -n "$pid" ] && kill $pid 2>/dev/null
  [ -n "$drag" ] && kill $drag 2>/dev/null
  [ -n "$wm" ] && kill $wm 2>/dev/null && wait $wm 2>/dev/null
  stop_server
  rm -rf "$tmp"
}
trap cleanup EXIT
start_server_or_skip

failed() {
  echo "FAIL: $*"
  echo "--- the editor said"; cat "$tmp/app.log" 2>/dev/null
  echo "--- the drag source said"; cat "$tmp/drag.log" 2>/dev/null
  echo "--- openbox said"; cat "$tmp/openbox.log" 2>/dev/null
  diagnose
  exit 1
}

# A window manager, and wait until it manages the screen (it answers for
# the current desktop only once it runs).
start_openbox || failed "openbox did not take the screen"

visible_windows() { xdotool search --onlyvisible --pid $pid 2>/dev/null | wc -l; }

# start_editor ARGS...: starts the editor in $tmp and waits until its main
# window is up, the splash gone and the window active; sets pid and win.
# Up to 90 s each: a loaded machine (a build beside it) is slow to map a window.
start_editor() {
  (cd "$tmp" && exec "$app" "$@") 2>"$tmp/app.log" &
  pid=$!
  win=""
  for _ in $(seq 900); do
    # With a ROM named, its name may already lead the title when the
    # window is first seen.
    win=$(xdotool search --all --onlyvisible --pid $pid \
            --name "^(.* - )?Orbitmarsh Battle Animation Editor\$" 2>/dev/null | head -1)
    [ -n "$win" ] && break
    kill -0 $pid 2>/dev/null || failed "the editor ended before its window appeared"
    sleep 0.1
  done
  [ -n "$win" ] || failed "the main window did not appear on $DISPLAY"
  # The splash goes away once the pickers are built; a named ROM opens then.
  for _ in $(seq 900); do
    [ "$(visible_windows)" -eq 1 ] && break
    sleep 0.1
  done
  sleep 0.5
  xdotool windowactivate --sync "$win" >/dev/null 2>&1 || xdotool windowfocus --sync "$win"
}

# edit_and_save ROM: a click on the space between the two layer frames gives
# the group list the focus (only with a ROM loaded); Shift+Tab goes back to
# the layer 2 high byte of group 0, typing replaces its selected value, and
# Ctrl+S saves. Then exactly that byte of ROM must have changed to 77.
edit_and_save() {
  local rom=$1
  cp "$rom" "$tmp/before.smc"
  xdotool windowactivate --sync "$win" >/dev/null 2>&1 || xdotool windowfocus --sync "$win"
  eval "$(xdotool getwindowgeometry --shell "$win")"
  xdotool mousemove --window "$win" $((WIDTH / 2)) $((HEIGHT / 2)) click 1
  sleep 0.3
  xdotool key shift+Tab
  sleep 0.2
  xdotool type --delay 50 "77"
  sleep 0.2
  xdotool key ctrl+s
  sleep 0.5
  # Group 0's entry: 0xBDA9E in a headered image, layer 2 high byte at +3.
  offset=$((0xBDA9E + 3))
  local changes new
  changes=$(cmp -l "$tmp/before.smc" "$rom" 2>/dev/null)
  new=$(od -An -tu1 -j$offset -N1 "$rom" | tr -d ' ')
  [ "$new" = "77" ] ||
    failed "after Ctrl+S the byte at $(printf 0x%X $offset) is $new, not 77; changed: ${changes:-nothing}"
  [ "$(echo "$changes" | wc -l)" -eq 1 ] || failed "Ctrl+S changed more than one byte: $changes"
  [ "$(stat -c %s "$rom")" -eq "$(stat -c %s "$tmp/before.smc")" ] || failed "size changed"
}

# quit_editor: Ctrl+Q, and the program ends with status 0.
quit_editor() {
  xdotool key ctrl+q
  for _ in $(seq 100); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
  kill -0 $pid 2>/dev/null && failed "Ctrl+Q did not end the program"
  wait $pid
  local status=$?
  pid=""
  [ $status -eq 0 ] || failed "the editor ended with status $status"
}

"$cli" make-demo-rom "$tmp/demo.smc" >/dev/null || failed "no demo image"
"$cli" make-demo-rom "$tmp/dropped.smc" >/dev/null || failed "no demo image"

# --- 1. A ROM named on the command line -----------------------------------
start_editor demo.smc
windows_before=$(visible_windows)
# Alt+F: the File menu drops down (one more visible window of the editor).
xdotool key --clearmodifiers alt+f
menu_open=0
for _ in $(seq 50); do
  [ "$(visible_windows)" -gt "$windows_before" ] && { menu_open=1; break; }
  sleep 0.1
done
[ $menu_open -eq 1 ] || failed "Alt+F showed no menu ($windows_before windows before and after)"
xdotool key Escape
for _ in $(seq 50); do
  [ "$(visible_windows)" -eq "$windows_before" ] && break
  sleep 0.1
done
kill -0 $pid 2>/dev/null || failed "Escape on the menu ended the program"
edit_and_save "$tmp/demo.smc"
quit_editor
echo "OMBattleAnim demo.smc: the window came up under openbox, Alt+F opened File," \
     "Ctrl+S wrote 77 at $(printf 0x%X $offset) and nothing else, Ctrl+Q ended it with status 0"

# --- 2. A ROM dropped on the window ---------------------------------------
start_editor
"$dragsource" "$tmp/dropped.smc" >"$tmp/drag.log" 2>&1 &
drag=$!
source_win=""
for _ in $(seq 100); do
  source_win=$(xdotool search --onlyvisible --name "^ombattleanim-dragsource$" 2>/dev/null | head -1)
  [ -n "$source_win" ] && break
  sleep 0.1
done
[ -n "$source_win" ] || failed "the drag source's window did not appear"
sleep 0.3
eval "$(xdotool getwindowgeometry --shell "$win")"
tx=$((X + WIDTH / 2)); ty=$((Y + HEIGHT / 2))
eval "$(xdotool getwindowgeometry --shell "$source_win")"
xdotool mousemove $((X + 20)) $((Y + 20)) mousedown 1
sleep 0.3
# Into the editor's window, then a little move inside it, as a hand does.
for at in "$((X + 40)) $((Y + 40))" "$tx $ty" "$((tx + 5)) $((ty + 5))" "$tx $ty"; do
  xdotool mousemove $at
  sleep 0.3
done
xdotool mouseup 1
for _ in $(seq 50); do grep -q "drop action" "$tmp/drag.log" && break; sleep 0.1; done
grep -q "drop action: 1" "$tmp/drag.log" || failed "the editor did not take the dropped file"
sleep 1   # the editor fetches the file's name from the source and opens it
kill $drag 2>/dev/null
wait $drag 2>/dev/null
drag=""
edit_and_save "$tmp/dropped.smc"
quit_editor
echo "OMBattleAnim, then dropped.smc dropped on it: Ctrl+S wrote 77 at $(printf 0x%X $offset)" \
     "of the dropped file; Ctrl+Q ended it with status 0"

# --- 3. Both in the recent files, the newest first ----------------------------
grep -q "^Paths=$tmp/dropped.smc, *$tmp/demo.smc\$" "$settings" 2>/dev/null ||
  failed "the recent files in $settings are not dropped.smc, then demo.smc: $(cat "$settings" 2>&1)"
echo "$settings lists dropped.smc, then demo.smc"

# --- 4. Hot exit, by keys alone --------------------------------------------
title_is() {  # title_is TEXT: waits up to 5 s for the main window's title
  for _ in $(seq 50); do
    [ "$(xdotool getwindowname "$win" 2>/dev/null)" = "$1" ] && return 0
    sleep 0.1
  done
  return 1
}
unsaved=$XDG_STATE_HOME/OMBattleAnim/unsaved
cp "$tmp/demo.smc" "$tmp/before.smc"
start_editor demo.smc
title_is "demo.smc - Orbitmarsh Battle Animation Editor" ||
  failed "the title with the ROM open is '$(xdotool getwindowname "$win")'"
# The focus starts in the group list: Shift+Tab reaches group 0's layer 2
# high byte, its value selected.
xdotool key shift+Tab
sleep 0.2
xdotool type --delay 50 "12"
title_is "demo.smc* - Orbitmarsh Battle Animation Editor" ||
  failed "after typing, the title is '$(xdotool getwindowname "$win")'"
quit_editor
cmp -s "$tmp/before.smc" "$tmp/demo.smc" || failed "Ctrl+Q without Save changed the ROM"
ls "$unsaved"/demo.smc-*.bps >/dev/null 2>&1 || failed "no recovery in $unsaved: $(ls -la "$unsaved" 2>&1)"
start_editor demo.smc
title_is "demo.smc* - Orbitmarsh Battle Animation Editor" ||
  failed "started again, the title is '$(xdotool getwindowname "$win")', not marked unsaved"
cmp -s "$tmp/before.smc" "$tmp/demo.smc" || failed "restoring the edits wrote the ROM"
xdotool key ctrl+z
title_is "demo.smc - Orbitmarsh Battle Animation Editor" ||
  failed "after Ctrl+Z the title is '$(xdotool getwindowname "$win")'"
quit_editor
cmp -s "$tmp/before.smc" "$tmp/demo.smc" || failed "the ROM changed"
[ -z "$(ls -A "$unsaved" 2>/dev/null)" ] || failed "a recovery was left behind: $(ls "$unsaved")"
echo "hot exit: a typed byte survived Ctrl+Q (title marked, ROM unchanged), Ctrl+Z took it" \
     "back, and Ctrl+Q then left no recovery"
