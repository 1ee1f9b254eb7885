#!/bin/sh
# Runs a command on Qt's Wayland platform under a private headless compositor (weston with the
# pixman renderer), so that what a compositor honouring alpha shows is what the tests check.
# The compositor gets a runtime folder and socket of its own, and ends with the command,
# whatever its outcome. Headless weston has no seat: no keyboard, pointer or activation.
set -eu
. "$(dirname "$0")/../display/start-server.sh"

work=$(mktemp -d "${TMPDIR:-/tmp}/on-wayland.XXXXXX")
chmod 700 "$work"
weston_pid=
finish() {
  [ -n "$weston_pid" ] && kill "$weston_pid" 2>/dev/null && wait "$weston_pid" 2>/dev/null
  rm -rf "$work"
}
trap finish EXIT
trap 'exit 130' INT TERM

XDG_RUNTIME_DIR="$work"
export XDG_RUNTIME_DIR
XDG_CONFIG_HOME="$work/config" weston --backend=headless-backend.so --use-pixman \
  --socket=wayland-test --idle-time=0 >"$work/weston.log" 2>&1 &
weston_pid=$!
wait_for_server weston "$weston_pid" "$work/weston.log" test -S "$work/wayland-test"

# Qt's Wayland plugin is unloaded before the leak check at exit, so what its libraries keep
# has no module name a suppression could match; leaks are checked on the offscreen and X
# server runs of the same tests.
ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
export ASAN_OPTIONS
unset DISPLAY
WAYLAND_DISPLAY=wayland-test QT_QPA_PLATFORM=wayland "$@"
