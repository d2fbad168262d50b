#!/usr/bin/env bash
# windows_xvfb.sh EDITOR CLI
#
# The tool windows in their places, on a real X server under openbox, at
# QT_SCALE_FACTOR 1 on a 1024x768 screen and 2 on a 1920x1080 one (at scale
# 2 the main window alone is wider than 1024 pixels): `OMBattleAnim
# demo.smc`, then Ctrl+F (Find Group) and Ctrl+B (the background browser). Each window's frame, title bar and
# borders included (xwininfo for the window, _NET_FRAME_EXTENTS for what
# openbox puts around it), must lie wholly on the screen and share no pixel
# with the main window's frame. Skipped (77) only when no X server can be
# reached at all.
set -u
app=$(realpath "$1")
cli=$(realpath "$2")
tmp=$(mktemp -d)
. "$(dirname "$0")/xvfb_lib.sh"
export XDG_CONFIG_HOME=$tmp/config
export XDG_STATE_HOME=$tmp/state
wm=""
pid=""
cleanup() {
  [ -n "$pid" ] && kill $pid 2>/dev/null
  [ -n "$wm" ] && kill $wm 2>/dev/null && wait $wm 2>/dev/null
  stop_server
  rm -rf "$tmp"
}
trap cleanup EXIT
for tool in xwininfo xprop; do
  command -v $tool >/dev/null || { echo "$tool missing: run tools/setup-machine.sh"; exit 1; }
done
failed() {
  echo "FAIL: $*"
  echo "--- the editor said"; cat "$tmp/app.log" 2>/dev/null
  echo "--- openbox said"; cat "$tmp/openbox.log" 2>/dev/null
  diagnose
  exit 1
}

start_desktop() {
  start_server_or_skip
  start_openbox || failed "openbox did not take the screen"
  read -r screen_w screen_h < <(xdotool getdisplaygeometry)
}

stop_desktop() {
  kill $wm 2>/dev/null && wait $wm 2>/dev/null
  wm=""
  stop_server
}

# find_window TITLE: the visible window of the editor with that title.
find_window() {
  local w=""
  for _ in $(seq 300); do
    w=$(xdotool search --all --onlyvisible --pid $pid --name "^$1\$" 2>/dev/null | head -1)
    [ -n "$w" ] && break
    kill -0 $pid 2>/dev/null || failed "the editor ended before its window '$1' appeared"
    sleep 0.1
  done
  [ -n "$w" ] || failed "no window '$1' appeared"
  echo "$w"
}

# frame WINDOW: "left top right bottom" of its frame, borders included.
frame() {
  local info x y w h extents l r t b
  info=$(xwininfo -id "$1") || { echo "xwininfo could not read window $1"; return 1; }
  x=$(echo "$info" | sed -n 's/.*Absolute upper-left X: *\(-\?[0-9]*\).*/\1/p')
  y=$(echo "$info" | sed -n 's/.*Absolute upper-left Y: *\(-\?[0-9]*\).*/\1/p')
  w=$(echo "$info" | sed -n 's/.*Width: *\([0-9]*\).*/\1/p')
  h=$(echo "$info" | sed -n 's/.*Height: *\([0-9]*\).*/\1/p')
  extents=$(xprop -id "$1" _NET_FRAME_EXTENTS | sed -n 's/.*= *//p' | tr -d ' ')
  IFS=, read -r l r t b <<<"${extents:-0,0,0,0}"
  echo "$((x - l)) $((y - t)) $((x + w + r - 1)) $((y + h + b - 1))"
}

"$cli" make-demo-rom "$tmp/demo.smc" >/dev/null || failed "no demo image"

# check_beside NAME MAIN-FRAME FRAME: on the screen, clear of the main window.
check_beside() {
  local name=$1 ml mt mr mb l t r b
  read -r ml mt mr mb <<<"$2"
  read -r l t r b <<<"$3"
  [ "$l" -ge 0 ] && [ "$t" -ge 0 ] && [ "$r" -lt "$screen_w" ] && [ "$b" -lt "$screen_h" ] ||
    failed "$name at scale $scale: frame $l,$t - $r,$b is not inside the ${screen_w}x$screen_h screen"
  [ "$r" -lt "$ml" ] || [ "$l" -gt "$mr" ] || [ "$b" -lt "$mt" ] || [ "$t" -gt "$mb" ] ||
    failed "$name at scale $scale: frame $l,$t - $r,$b covers the main window's $ml,$mt - $mr,$mb"
}

for run in "1 1024x768x24" "2 1920x1080x24"; do
  read -r scale OM_XVFB_SCREEN <<<"$run"
  export OM_XVFB_SCREEN
  start_desktop
  rm -rf "$XDG_CONFIG_HOME"
  (cd "$tmp" && QT_SCALE_FACTOR=$scale exec "$app" demo.smc) 2>"$tmp/app.log" &
  pid=$!
  find_window "demo.smc - Orbitmarsh Battle Animation Editor" >/dev/null
  # The splash goes away once the pickers are built.
  for _ in $(seq 900); do
    [ "$(xdotool search --onlyvisible --pid $pid 2>/dev/null | wc -l)" -eq 1 ] && break
    sleep 0.1
  done
  sleep 0.5
  win=$(find_window "demo.smc - Orbitmarsh Battle Animation Editor")
  xdotool windowactivate --sync "$win" >/dev/null 2>&1 || xdotool windowfocus --sync "$win"
  main=$(frame "$win") || failed "$main"
  xdotool key ctrl+f
  find=$(find_window "Find Group")
  # The editor looks again once the window manager has framed the window
  # (its last look is four seconds after showing it: a slow machine, or a
  # sanitizer build, frames it late).
  sleep 4.5
  at=$(frame "$find") || failed "$at"
  check_beside "Find Group" "$main" "$at"
  xdotool windowactivate --sync "$win" >/dev/null 2>&1 || xdotool windowfocus --sync "$win"
  xdotool key ctrl+b
  browser=$(find_window "Backgrounds")
  sleep 4.5
  at2=$(frame "$browser") || failed "$at2"
  check_beside "the background browser" "$main" "$at2"
  echo "scale $scale: main $main, Find Group $at, browser $at2" \
       "on the ${screen_w}x$screen_h screen"
  kill $pid; wait $pid 2>/dev/null; pid=""
  stop_desktop
done
