#!/usr/bin/env bash
# Runs a command with an X display: the current one when DISPLAY is set,
# otherwise a private Xvfb server that lives exactly as long as the command.
# Xvfb picks a free display number itself (-displayfd), so parallel runs never collide.
set -u
if [[ -n "${DISPLAY:-}" ]]; then exec "$@"; fi

fifo=$(mktemp -u /tmp/starhold-xvfb.XXXXXX)
mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
xvfb_pid=$!
read -r -t 20 number <"$fifo" || number=""
rm -f "$fifo"
if [[ -z "$number" ]]; then
  echo "with-display: Xvfb did not start" >&2
  kill "$xvfb_pid" 2>/dev/null
  exit 1
fi
trap 'kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null' EXIT
DISPLAY=":$number" "$@"
