#!/usr/bin/env bash
# Runs the start-up paint test on the real X platform (xcb) under a private
# Xvfb: the offscreen platform paints differently and proves nothing there.
set -u
test_bin=$(realpath "$1")
here=$(dirname "$(realpath "$0")")
. "$here/xvfb_lib.sh"
if ! start_server "" -nolisten tcp && ! start_server 127.0.0.1 -listen tcp -ac; then
  echo "SKIPPED: no virtual X server could be reached on this machine"
  diagnose
  exit 77
fi
QT_QPA_PLATFORM=xcb "$test_bin"
