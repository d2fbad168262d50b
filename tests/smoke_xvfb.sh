#!/usr/bin/env bash
# Starts the real editor on a private virtual X server, waits for its main
# window, closes it with Escape and checks that the program ended cleanly.
#
# The server gets a display number nobody uses, its own cookie, and must
# answer a client (xdotool) before the editor is started. If no server can be
# started or reached here at all, the test reports itself skipped (77) with
# what it saw: that says something about the machine, not about the editor.
# Once the server answers, anything that goes wrong is a failure.
set -u
app=$(realpath "$1")
for tool in Xvfb xauth xdotool; do
  command -v $tool >/dev/null || { echo "$tool missing"; exit 1; }
done

tmp=$(mktemp -d)
xvfb=""
stop_server() { [ -n "$xvfb" ] && kill $xvfb 2>/dev/null && wait $xvfb 2>/dev/null; xvfb=""; }
trap 'stop_server; rm -rf "$tmp"' EXIT
export XAUTHORITY=$tmp/Xauthority
: >"$XAUTHORITY"

diagnose() {
  echo "--- what the X server and its clients said"
  cat "$tmp/xvfb.log" 2>/dev/null
  echo "--- user $(id -u), DISPLAY=${DISPLAY:-} XAUTHORITY=$XAUTHORITY"
  ls -la /tmp/.X11-unix 2>&1
  grep -a "X11-unix" /proc/net/unix 2>/dev/null | head -20
}

display_free() {
  [ ! -e "/tmp/.X$1-lock" ] && [ ! -e "/tmp/.X11-unix/X$1" ] &&
    ! grep -aq "/tmp/.X11-unix/X$1\$" /proc/net/unix 2>/dev/null
}

# start_server DISPLAY-PREFIX XVFB-ARGS...: starts Xvfb on a free display and
# returns 0 once a client can connect to it.
start_server() {
  local prefix=$1; shift
  local n=$(( 100 + RANDOM % 800 ))
  while ! display_free $n; do n=$(( n + 1 )); done
  xauth add ":$n" . "$(od -An -N16 -tx1 /dev/urandom | tr -d ' \n')" 2>>"$tmp/xvfb.log"
  : >"$tmp/display"
  # -displayfd writes the display number once the server takes clients.
  # -noreset: without it the server resets when its last client (the probe
  # below) leaves, and a client connecting during the reset is refused.
  Xvfb ":$n" -noreset -displayfd 3 -auth "$XAUTHORITY" -screen 0 1024x768x24 "$@" \
    3>"$tmp/display" 2>>"$tmp/xvfb.log" &
  xvfb=$!
  for _ in $(seq 100); do
    [ -s "$tmp/display" ] && break
    kill -0 $xvfb 2>/dev/null || break
    sleep 0.1
  done
  [ -s "$tmp/display" ] || { echo "Xvfb :$n did not start" >>"$tmp/xvfb.log"; stop_server; return 1; }
  export DISPLAY=$prefix:$n
  if ! xdotool getdisplaygeometry >>"$tmp/xvfb.log" 2>&1; then
    echo "no client could connect to $DISPLAY" >>"$tmp/xvfb.log"
    stop_server
    return 1
  fi
}

# Local sockets first; a machine that refuses those may still allow loopback
# TCP to a throwaway server that trusts every local client.
if ! start_server "" -nolisten tcp && ! start_server 127.0.0.1 -listen tcp -ac; then
  echo "SKIPPED: no virtual X server could be reached on this machine"
  diagnose
  exit 77
fi

# The real X server, whatever the caller's environment says.
export QT_QPA_PLATFORM=xcb
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
