#!/usr/bin/env bash
# Runs a command with an X display: the current one when DISPLAY is set,
# otherwise a private Xvfb server that lives exactly as long as the command.
# Parallel runs each claim their own display number (an atomic mkdir), since
# Xvfb's own free-number search races when several servers start at once.
set -u
if [[ -n "${DISPLAY:-}" ]]; then exec "$@"; fi

xvfb_pid=""
claim=""
cleanup() {
  [[ -n "$xvfb_pid" ]] && { kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; }
  [[ -n "$claim" ]] && rmdir "$claim" 2>/dev/null
  xvfb_pid=""
  claim=""
}
trap cleanup EXIT

# Starts Xvfb on display $1 and waits until it answers.
start_xvfb() {
  Xvfb ":$1" -screen 0 1024x768x24 -nolisten tcp -noreset >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do
    kill -0 "$xvfb_pid" 2>/dev/null || return 1
    xdpyinfo -display ":$1" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  return 1
}

for _ in $(seq 30); do
  number=$((RANDOM % 900 + 100))
  [[ -e "/tmp/.X$number-lock" ]] && continue
  mkdir "/tmp/starhold-display-$number" 2>/dev/null || continue
  claim="/tmp/starhold-display-$number"
  if start_xvfb "$number"; then
    DISPLAY=":$number" "$@"
    exit $?
  fi
  cleanup
done
echo "with-display: Xvfb did not start" >&2
exit 1
