# Sourced by the tests that need a private X server (smoke_xvfb.sh,
# desktop_xvfb.sh). Set tmp to a private folder before sourcing it; call
# stop_server on exit.
#
# start_server DISPLAY-PREFIX XVFB-ARGS...: starts Xvfb on a display nobody
#   uses, with its own cookie, and returns 0 once a client can connect.
# start_server_or_skip: local sockets first, then loopback TCP; when no
#   server can be reached at all, prints SKIPPED with what it saw and exits
#   77, which CTest reports as skipped: that says something about the
#   machine, not about the editor. Once a server answers, anything that goes
#   wrong is a failure.
# stop_server: stops the server this library started.
# start_openbox: starts openbox on that server (its pid in wm, what it says
#   in $tmp/openbox.log) and returns once it manages the screen; calls the
#   caller's failed when it does not.
# OM_XVFB_SCREEN: the screen's size and depth, 1024x768x24 unless set.
# diagnose: prints what the server and its clients said.
: "${tmp:?set tmp to a private folder before sourcing xvfb_lib.sh}"

xvfb=""
export XAUTHORITY=$tmp/Xauthority
: >"$XAUTHORITY"

stop_server() {
  [ -n "$xvfb" ] && kill $xvfb 2>/dev/null && wait $xvfb 2>/dev/null
  xvfb=""
}

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

start_server() {
  local prefix=$1; shift
  local n=$(( 100 + RANDOM % 800 ))
  while ! display_free $n; do n=$(( n + 1 )); done
  xauth add ":$n" . "$(od -An -N16 -tx1 /dev/urandom | tr -d ' \n')" 2>>"$tmp/xvfb.log"
  : >"$tmp/display"
  # -displayfd writes the display number once the server takes clients.
  # -noreset: without it the server resets when its last client (the probe
  # below) leaves, and a client connecting during the reset is refused.
  Xvfb ":$n" -noreset -displayfd 3 -auth "$XAUTHORITY" -screen 0 "${OM_XVFB_SCREEN:-1024x768x24}" "$@" \
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
  # The programs started next are to show on this server, even when the
  # test runs with the offscreen platform in its environment.
  export QT_QPA_PLATFORM=xcb
}

start_server_or_skip() {
  for tool in Xvfb xauth xdotool; do
    command -v $tool >/dev/null || { echo "$tool missing: run tools/setup-machine.sh"; exit 1; }
  done
  if ! start_server "" -nolisten tcp && ! start_server 127.0.0.1 -listen tcp -ac; then
    echo "SKIPPED: no virtual X server could be reached on this machine"
    diagnose
    exit 77
  fi
}

# start_openbox: starts openbox on this server (its pid in wm, its output in
# $tmp/openbox.log) and returns 0 once it manages the screen (it answers for
# the current desktop only then); 1 when it does not.
start_openbox() {
  command -v openbox >/dev/null || { echo "openbox missing: run tools/setup-machine.sh"; exit 1; }
  openbox --sm-disable >"$tmp/openbox.log" 2>&1 &
  wm=$!
  for _ in $(seq 100); do
    xdotool get_desktop >/dev/null 2>&1 && return 0
    kill -0 $wm 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}
