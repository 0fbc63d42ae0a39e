# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the package tests: start_virtual_display FOLDER starts Xvfb on a free display
# number, sets `display` (":N") and `display_pid`, and keeps its notes in FOLDER.
start_virtual_display() {
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$1/display" 2>/dev/null &
  display_pid=$!
  for _ in $(seq 1 100); do
    [ -s "$1/display" ] && break
    sleep 0.1
  done
  [ -s "$1/display" ] || { echo "no virtual display started" >&2; return 1; }
  display=:$(cat "$1/display")
}

# wait_for_window DISPLAY TITLE PID: waits up to 20 s for a top-level window named TITLE on
# DISPLAY; fails at once when the process PID ends first.
wait_for_window() {
  for _ in $(seq 1 100); do
    xwininfo -display "$1" -root -tree 2>/dev/null | grep -q "\"$2\": (" && return 0
    kill -0 "$3" 2>/dev/null || return 1
    sleep 0.2
  done
  return 1
}
