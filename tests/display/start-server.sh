# Shared by the display runners: wait_for_server NAME PID LOG TEST... waits up to ten seconds
# until the shell test TEST... holds, and ends the script with the server's log when the
# server exits or never gets ready.
wait_for_server() {
  name=$1 pid=$2 log=$3
  shift 3
  tries=0
  until "$@"; do
    tries=$((tries + 1))
    if [ "$tries" -gt 100 ] || ! kill -0 "$pid" 2>/dev/null; then
      echo "$(basename "$0"): $name did not start:" >&2
      cat "$log" >&2
      exit 1
    fi
    sleep 0.1
  done
}
