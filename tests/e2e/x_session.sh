# SPDX-License-Identifier: GPL-3.0-or-later
# shellcheck shell=bash
# Sourced by the scripts that drive the installed program on a virtual X server: numbered steps,
# screenshots into $shots, bounded waits, the program's windows and message boxes, starting the
# program from $prefix with its settings in $work/config, and closing it as a window manager does.
# The sourcing script sets build_dir and close_window, and calls begin_session first.

# require_tools TOOL...: ends the test when a tool it needs is missing.
require_tools() {
  local tool
  for tool; do
    command -v "$tool" >/dev/null || {
      echo "e2e: $tool is missing (scripts/deps.sh installs it)" >&2
      exit 1
    }
  done
}

# begin_session NAME: a fresh screenshot folder BUILD_DIR/NAME (shots) and a temporary work folder
# (work) with an install prefix below it (prefix). At exit the program and Xvfb are stopped, any
# process still working on the work folder's files (an encoder, say) is ended, and the work
# folder is removed.
begin_session() {
  shots="$build_dir/$1"
  rm -rf "$shots"
  mkdir -p "$shots"
  work=$(mktemp -d "${TMPDIR:-/tmp}/kestrelund-$1.XXXXXX")
  prefix="$work/prefix"
  xvfb_pid=""
  program_pid=""
  trap end_session EXIT
}
# shellcheck disable=SC2317 # run by the EXIT trap
end_session() {
  stop_program_and_xvfb
  pkill -f -- "$work/" 2>/dev/null || true
  rm -rf "$work"
}

step_number=0
step() {
  step_number=$((step_number + 1))
  echo "== $step_number. $* =="
}

# shot NAME: the whole screen into BUILD_DIR/e2e/NN-NAME.png.
shot_number=0
shot() {
  shot_number=$((shot_number + 1))
  local file
  file=$(printf '%s/%02d-%s.png' "$shots" "$shot_number" "$1")
  import -window root "$file" 2>/dev/null || echo "e2e: (no screenshot $file)"
}

fail() {
  echo "FAIL: $*" >&2
  shot failure
  for log in "$shots"/program-*.log; do
    [ -s "$log" ] && { echo "--- $log" >&2; cat "$log" >&2; }
  done
  echo "Screenshots: $shots" >&2
  exit 1
}

# wait_for SECONDS DESCRIPTION COMMAND...: runs COMMAND every 0.1 s until it succeeds, at most
# SECONDS long.
wait_for() {
  local seconds=$1 what=$2
  shift 2
  local tries=$((seconds * 10))
  while ! "$@"; do
    tries=$((tries - 1))
    [ "$tries" -gt 0 ] || fail "waited ${seconds}s for $what"
    sleep 0.1
  done
}

# The visible windows of the running program, one id a line.
program_windows() { xdotool search --onlyvisible --pid "$program_pid" 2>/dev/null || true; }
# True when the main window is the program's only visible window (dialogs and menus are gone).
only_main_window() { [ "$(program_windows)" = "$main" ]; }
# A visible window of the program titled "Kestrelund" other than the main window (a message
# box), or nothing.
message_box() {
  xdotool search --onlyvisible --all --pid "$program_pid" --name '^Kestrelund$' 2>/dev/null |
    grep -vx "$main" | head -n 1 || true
}
has_message_box() { [ -n "$(message_box)" ]; }

# Pictures of the main window. The window is painted in one piece, so a white top-left corner
# (the window's background) means the whole window shows.
window_png() { import -window "$main" "$1" 2>/dev/null; }
window_painted() {
  window_png "$work/painted.png" &&
    [ "$(convert "$work/painted.png" -crop 4x4+0+0 +repage -format '%[fx:int(255*minima)]' info:)" = 255 ]
}
# changed_bands BEFORE AFTER X WIDTH TOP HEIGHT: the runs of pixel lines that differ between the
# two pictures inside the given rectangle, as "top-bottom" pairs in window coordinates.
changed_bands() {
  local before=$1 after=$2 x=$3 width=$4 top=$5 height=$6
  convert "$before" "$after" -crop "${width}x${height}+${x}+${top}" +repage \
    -compose difference -composite -colorspace Gray -threshold 0 -resize "1x${height}!" -depth 8 \
    txt:- |
    awk -v top="$top" -F'[,:() ]+' 'NR > 1 {
        line = $2 + top; changed = ($3 > 0)
        if (changed && start < 0) start = line
        if (!changed && start >= 0) { printf "%d-%d\n", start, line - 1; start = -1 }
      }
      BEGIN { start = -1 }
      END { if (start >= 0) printf "%d-%d\n", start, line }'
}
# start_program N: starts the installed program through its bin/ link and waits for its window.
start_program() {
  # The pointer rests outside the window, so that no control shows its hover look.
  xdotool mousemove 0 0
  (cd "$work" && exec env HOME="$work/home" XDG_CONFIG_HOME="$work/config" \
    XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORM=xcb "$prefix/bin/kestrelund") \
    >"$shots/program-$1.log" 2>&1 &
  program_pid=$!
  main=""
  local tries=300
  while [ -z "$main" ]; do
    kill -0 "$program_pid" 2>/dev/null || fail "the program ended before its window appeared"
    main=$(xdotool search --onlyvisible --all --pid "$program_pid" --name '^Kestrelund$' 2>/dev/null |
      head -n 1) || true
    tries=$((tries - 1))
    [ "$tries" -gt 0 ] || fail "the window did not appear within 30 s"
    [ -n "$main" ] || sleep 0.1
  done
  wait_for 10 "the window to be painted" window_painted
  echo "window $main, process $program_pid"
}

# close_program: asks the main window to close, as the window manager's close button does, and
# waits for the process to end on its own.
close_program() {
  "$close_window" "$main" || fail "the close request did not reach the window"
  local tries=300
  while kill -0 "$program_pid" 2>/dev/null; do
    tries=$((tries - 1))
    [ "$tries" -gt 0 ] || fail "the program did not end within 30 s of closing its window"
    sleep 0.1
  done
  local status=0
  wait "$program_pid" || status=$?
  program_pid=""
  [ "$status" -eq 0 ] || fail "the program ended with status $status"
}

