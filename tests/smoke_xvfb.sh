#!/usr/bin/env bash
# Starts the real editor on a private virtual X server, waits for its main
# window, closes it with Escape and checks that the program ended cleanly.
set -u
app=$1
command -v Xvfb >/dev/null && command -v xdotool >/dev/null || { echo "Xvfb or xdotool missing"; exit 1; }

for n in $(seq 90 140); do [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || break; done
export DISPLAY=:$n
Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null' EXIT
for _ in $(seq 50); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done

work=$(mktemp -d)
(cd "$work" && exec "$app") &
pid=$!
win=""
for _ in $(seq 100); do
  win=$(xdotool search --onlyvisible --name "Orbitmarsh Battle Animation Editor" 2>/dev/null | head -1)
  [ -n "$win" ] && break
  sleep 0.1
done
if [ -z "$win" ]; then
  echo "the main window did not appear"; kill $pid 2>/dev/null; exit 1
fi
sleep 0.5   # let the first tick build the pickers
xdotool windowfocus --sync "$win" 2>/dev/null
xdotool key --window "$win" Escape
for _ in $(seq 100); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
if kill -0 $pid 2>/dev/null; then
  echo "the program did not end after Escape"; kill $pid; exit 1
fi
wait $pid
status=$?
rm -rf "$work"
echo "window $win appeared, Escape ended the program with status $status"
[ $status -eq 0 ]
