#!/usr/bin/env bash
# Runs the start-up paint test on the real X platform (xcb) under a private
# Xvfb from xvfb_lib.sh: the offscreen platform paints differently and proves
# nothing there. It runs twice: on the bare server, then under a window
# manager (openbox), which stacks windows by its own rules.
set -u
test_bin=$(realpath "$1")
tmp=$(mktemp -d)
. "$(dirname "$0")/xvfb_lib.sh"
wm=""
trap '[ -n "$wm" ] && kill $wm 2>/dev/null && wait $wm 2>/dev/null; stop_server; rm -rf "$tmp"' EXIT
for tool in openbox xprop xwininfo; do
  command -v $tool >/dev/null || { echo "$tool missing: run tools/setup-machine.sh"; exit 1; }
done
start_server_or_skip
export QT_QPA_PLATFORM=xcb
echo "--- without a window manager"
"$test_bin" || exit 1
openbox --sm-disable >"$tmp/openbox.log" 2>&1 &
wm=$!
for _ in $(seq 100); do
  xdotool get_desktop >/dev/null 2>&1 && break
  kill -0 $wm 2>/dev/null || { cat "$tmp/openbox.log"; echo "openbox did not start"; exit 1; }
  sleep 0.1
done
echo "--- under openbox"
"$test_bin" || { cat "$tmp/openbox.log"; exit 1; }
