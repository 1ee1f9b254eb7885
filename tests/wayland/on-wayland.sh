#!/bin/sh
# Runs a command on Qt's Wayland platform under a private headless compositor (weston with the
# pixman renderer), so that what a compositor honouring alpha shows is what the tests check.
# The compositor gets a runtime folder and socket of its own, and ends with the command,
# whatever its outcome. Headless weston has no seat: no keyboard, pointer or activation.
set -eu

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
tries=0
until [ -S "$work/wayland-test" ]; do
  tries=$((tries + 1))
  if [ "$tries" -gt 100 ] || ! kill -0 "$weston_pid" 2>/dev/null; then
    echo "on-wayland: weston did not start:" >&2
    cat "$work/weston.log" >&2
    exit 1
  fi
  sleep 0.1
done

# Qt's Wayland plugin is unloaded before the leak check at exit, so what its libraries keep
# has no module name a suppression could match; leaks are checked on the offscreen and X
# server runs of the same tests.
ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
export ASAN_OPTIONS
unset DISPLAY
WAYLAND_DISPLAY=wayland-test QT_QPA_PLATFORM=wayland "$@"
