#!/usr/bin/env bash
# desktop_xvfb.sh EDITOR CLI
#
# The editor on a real X server with a real window manager (openbox), as a
# user starts it: `OMBattleAnim demo.smc`. Checks that the window shows the
# loaded ROM, that Alt+F drops down the File menu, that Ctrl+S saves (the
# file's bytes show it) and that Ctrl+Q ends the program cleanly.
#
# What proves the ROM was loaded from the command line: its byte fields are
# enabled only with a ROM open, and a value typed into one reaches the file
# with Ctrl+S. Skipped (77) only when no X server can be reached at all.
set -u
app=$(realpath "$1")
cli=$(realpath "$2")
tmp=$(mktemp -d)
. "$(dirname "$0")/xvfb_lib.sh"
wm=""
pid=""
cleanup() {
  [ -n "$pid" ] && kill $pid 2>/dev/null
  [ -n "$wm" ] && kill $wm 2>/dev/null && wait $wm 2>/dev/null
  stop_server
  rm -rf "$tmp"
}
trap cleanup EXIT
command -v openbox >/dev/null || { echo "openbox missing: run tools/setup-machine.sh"; exit 1; }
start_server_or_skip

failed() {
  echo "FAIL: $*"
  echo "--- the editor said"; cat "$tmp/app.log" 2>/dev/null
  echo "--- openbox said"; cat "$tmp/openbox.log" 2>/dev/null
  diagnose
  exit 1
}

# A window manager, and wait until it manages the screen (it answers for
# the current desktop only once it runs).
openbox --sm-disable >"$tmp/openbox.log" 2>&1 &
wm=$!
for _ in $(seq 100); do
  xdotool get_desktop >/dev/null 2>&1 && break
  kill -0 $wm 2>/dev/null || failed "openbox did not start"
  sleep 0.1
done
xdotool get_desktop >/dev/null 2>&1 || failed "openbox did not take the screen"

"$cli" make-demo-rom "$tmp/demo.smc" >/dev/null || failed "no demo image"
cp "$tmp/demo.smc" "$tmp/before.smc"

(cd "$tmp" && exec "$app" demo.smc) 2>"$tmp/app.log" &
pid=$!
win=""
for _ in $(seq 300); do
  win=$(xdotool search --onlyvisible --name "^Orbitmarsh Battle Animation Editor$" 2>/dev/null | head -1)
  [ -n "$win" ] && break
  kill -0 $pid 2>/dev/null || failed "the editor ended before its window appeared"
  sleep 0.1
done
[ -n "$win" ] || failed "the main window did not appear on $DISPLAY"
# The splash goes away once the pickers are built; the ROM opens then.
for _ in $(seq 300); do
  [ "$(xdotool search --onlyvisible --pid $pid 2>/dev/null | wc -l)" -eq 1 ] && break
  sleep 0.1
done
sleep 0.5
xdotool windowactivate --sync "$win" >/dev/null 2>&1 || xdotool windowfocus --sync "$win"
windows_before=$(xdotool search --onlyvisible --pid $pid 2>/dev/null | wc -l)

# Alt+F: the File menu drops down (one more visible window of the editor).
xdotool key --clearmodifiers alt+f
menu_open=0
for _ in $(seq 50); do
  now=$(xdotool search --onlyvisible --pid $pid 2>/dev/null | wc -l)
  [ "$now" -gt "$windows_before" ] && { menu_open=1; break; }
  sleep 0.1
done
[ $menu_open -eq 1 ] || failed "Alt+F showed no menu ($windows_before windows before and after)"
xdotool key Escape
for _ in $(seq 50); do
  now=$(xdotool search --onlyvisible --pid $pid 2>/dev/null | wc -l)
  [ "$now" -eq "$windows_before" ] && break
  sleep 0.1
done
kill -0 $pid 2>/dev/null || failed "Escape on the menu ended the program"

# A click on the space between the two layer frames gives the group list
# the focus (only with a ROM loaded); Shift+Tab goes back to the layer 2
# high byte of group 0, where typing replaces the selected value.
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
changes=$(cmp -l "$tmp/before.smc" "$tmp/demo.smc" 2>/dev/null)
new=$(od -An -tu1 -j$offset -N1 "$tmp/demo.smc" | tr -d ' ')
[ "$new" = "77" ] || failed "after Ctrl+S the byte at $(printf 0x%X $offset) is $new, not 77; changed: ${changes:-nothing}"
[ "$(echo "$changes" | wc -l)" -eq 1 ] || failed "Ctrl+S changed more than one byte: $changes"
[ "$(stat -c %s "$tmp/demo.smc")" -eq "$(stat -c %s "$tmp/before.smc")" ] || failed "size changed"

# Ctrl+Q leaves.
xdotool key ctrl+q
for _ in $(seq 100); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
kill -0 $pid 2>/dev/null && failed "Ctrl+Q did not end the program"
wait $pid
status=$?
pid=""
[ $status -eq 0 ] || failed "the editor ended with status $status"
echo "OMBattleAnim demo.smc: window $win on $DISPLAY under openbox; Alt+F opened File;" \
     "Ctrl+S wrote 77 at $(printf 0x%X $offset) and nothing else; Ctrl+Q ended it with status 0"
