#!/usr/bin/env bash
# Runs a program on an X display of its own under a real window manager (Xvfb and openbox), for
# the window tests that need window frames. The display takes no network connections; both servers
# end with the program.
set -euo pipefail
if ! command -v Xvfb >/dev/null || ! command -v openbox >/dev/null; then
  echo "Xvfb and openbox are needed for these tests: run scripts/setup.sh" >&2
  exit 1
fi
work=$(mktemp -d)
xvfb="" wm=""
finish() {
  [[ -n $wm ]] && kill "$wm" 2>/dev/null
  [[ -n $xvfb ]] && kill "$xvfb" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap finish EXIT
mkfifo "$work/display" "$work/ready"

# Xvfb picks a free display and writes its number once it takes clients.
Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x1024x24 3>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
if ! read -r -t 30 number <"$work/display"; then
  echo "Xvfb did not start:" >&2; cat "$work/xvfb.log" >&2; exit 1
fi
export DISPLAY=":$number"

# openbox runs the start-up command once it manages the screen.
HOME="$work" openbox --sm-disable --startup "sh -c 'echo >\"$work/ready\"'" >"$work/openbox.log" 2>&1 &
wm=$!
if ! read -r -t 30 _ <"$work/ready"; then
  echo "openbox did not start:" >&2; cat "$work/openbox.log" >&2; exit 1
fi

QT_QPA_PLATFORM=xcb "$@"
