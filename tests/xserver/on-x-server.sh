#!/bin/sh
# Runs a command on a private X server (Xvfb) with a window manager (openbox), so that window
# tests meet real focus, activation and size hints on the xcb platform. Xvfb picks a free
# display number itself; both servers end with the command, whatever its outcome.
set -eu
. "$(dirname "$0")/../display/start-server.sh"

work=$(mktemp -d "${TMPDIR:-/tmp}/on-x-server.XXXXXX")
xvfb_pid=
wm_pid=
finish() {
  [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null && wait "$wm_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap finish EXIT
trap 'exit 130' INT TERM

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$work/display" \
  >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
wait_for_server Xvfb "$xvfb_pid" "$work/xvfb.log" test -s "$work/display"
DISPLAY=":$(head -n 1 "$work/display")"
export DISPLAY

# openbox with a private configuration home, so that no user settings reach the tests.
XDG_CONFIG_HOME="$work/config" openbox --sm-disable >"$work/openbox.log" 2>&1 &
wm_pid=$!
sleep 0.5
if ! kill -0 "$wm_pid" 2>/dev/null; then
  echo "on-x-server: openbox did not start:" >&2
  cat "$work/openbox.log" >&2
  exit 1
fi

QT_QPA_PLATFORM=xcb "$@"
