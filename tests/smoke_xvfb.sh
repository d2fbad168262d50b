#!/usr/bin/env bash
# Starts the real editor on a private virtual X server, waits for its main
# window, closes it with Escape and checks that the program ended cleanly.
#
# The server comes from xvfb_lib.sh: a display number nobody uses, its own
# cookie, answering a client before the editor starts; skipped (77) only when
# no server can be reached at all.
set -u
app=$(realpath "$1")
tmp=$(mktemp -d)
. "$(dirname "$0")/xvfb_lib.sh"
trap 'stop_server; rm -rf "$tmp"' EXIT
start_server_or_skip

# The real X server, whatever the caller's environment says; settings of
# its own, not the user's.
export QT_QPA_PLATFORM=xcb
export XDG_CONFIG_HOME=$tmp/config
(cd "$tmp" && exec "$app") 2>"$tmp/app.log" &
pid=$!
win=""
for _ in $(seq 300); do
  win=$(xdotool search --onlyvisible --name "Orbitmarsh Battle Animation Editor" 2>/dev/null | head -1)
  [ -n "$win" ] && break
  kill -0 $pid 2>/dev/null || break
  sleep 0.1
done
if [ -z "$win" ]; then
  echo "the main window did not appear on $DISPLAY"
  kill $pid 2>/dev/null
  echo "--- the editor said"; cat "$tmp/app.log"
  diagnose
  exit 1
fi
sleep 1   # let the first tick build the pickers
xdotool windowfocus --sync "$win" 2>/dev/null
xdotool key --window "$win" Escape 2>/dev/null
for _ in $(seq 300); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
if kill -0 $pid 2>/dev/null; then
  echo "the program did not end after Escape"; kill $pid; exit 1
fi
wait $pid
status=$?
echo "window $win appeared on $DISPLAY, Escape ended the program with status $status"
[ $status -eq 0 ] || { echo "--- the editor said"; cat "$tmp/app.log"; exit 1; }
