#!/usr/bin/env bash
# Starts the real editor on a private virtual X server, waits for its main
# window, closes it with Escape and checks that the program ended cleanly.
set -u
app=$1
command -v Xvfb >/dev/null && command -v xdotool >/dev/null || { echo "Xvfb or xdotool missing"; exit 1; }

tmp=$(mktemp -d)
# -displayfd picks a free display and writes its number once the server is
# ready to take clients.
Xvfb -displayfd 1 -screen 0 1024x768x24 -nolisten tcp >"$tmp/display" 2>/dev/null &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; rm -rf "$tmp"' EXIT
for _ in $(seq 300); do [ -s "$tmp/display" ] && break; sleep 0.1; done
[ -s "$tmp/display" ] || { echo "Xvfb did not start"; exit 1; }
export DISPLAY=:$(head -1 "$tmp/display")

(cd "$tmp" && exec "$app") &
pid=$!
win=""
for _ in $(seq 300); do
  win=$(xdotool search --onlyvisible --name "Orbitmarsh Battle Animation Editor" 2>/dev/null | head -1)
  [ -n "$win" ] && break
  sleep 0.1
done
if [ -z "$win" ]; then
  echo "the main window did not appear"; kill $pid 2>/dev/null; exit 1
fi
sleep 1   # let the first tick build the pickers
xdotool windowfocus --sync "$win" 2>/dev/null
xdotool key --window "$win" Escape
for _ in $(seq 300); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
if kill -0 $pid 2>/dev/null; then
  echo "the program did not end after Escape"; kill $pid; exit 1
fi
wait $pid
status=$?
echo "window $win appeared, Escape ended the program with status $status"
[ $status -eq 0 ]
