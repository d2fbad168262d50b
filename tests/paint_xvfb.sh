#!/usr/bin/env bash
# Runs the start-up paint test on the real X platform (xcb) under a private
# Xvfb from xvfb_lib.sh: the offscreen platform paints differently and proves
# nothing there.
set -u
test_bin=$(realpath "$1")
tmp=$(mktemp -d)
. "$(dirname "$0")/xvfb_lib.sh"
trap 'stop_server; rm -rf "$tmp"' EXIT
start_server_or_skip
export QT_QPA_PLATFORM=xcb
"$test_bin"
