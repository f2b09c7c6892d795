# SPDX-License-Identifier: GPL-3.0-or-later
# shellcheck shell=bash
# Sourced by the scripts that run Kestrelund on a virtual X server (Xvfb).

# start_xvfb FOLDER GEOMETRY [XVFB-OPTION...]: starts Xvfb on a free display, keeping its log in
# FOLDER/xvfb.log, sets xvfb_pid (for the caller to stop it) and exports DISPLAY. Xvfb picks the
# display number itself and writes it to FOLDER/display once it accepts clients; this waits up to
# ten seconds for that. When it did not start, prints its log to stderr and returns 1.
start_xvfb() {
  local folder=$1 geometry=$2
  shift 2
  Xvfb -displayfd 3 -screen 0 "$geometry" -nolisten tcp "$@" 3>"$folder/display" \
    >"$folder/xvfb.log" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do
    if [ -s "$folder/display" ] || ! kill -0 "$xvfb_pid" 2>/dev/null; then break; fi
    sleep 0.1
  done
  if [ ! -s "$folder/display" ]; then
    cat "$folder/xvfb.log" >&2
    return 1
  fi
  DISPLAY=":$(tr -dc 0-9 <"$folder/display")"
  export DISPLAY
}

# private_runtime_dir FOLDER: Qt wants a private runtime folder; a session without one gets
# FOLDER/runtime.
private_runtime_dir() {
  if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
    mkdir -m 700 "$1/runtime"
    export XDG_RUNTIME_DIR="$1/runtime"
  fi
}

# stop_program_and_xvfb: stops the program (program_pid) and Xvfb (xvfb_pid) where they were
# started, and waits for them.
stop_program_and_xvfb() {
  if [ -n "${program_pid:-}" ]; then kill "$program_pid" 2>/dev/null || true; fi
  if [ -n "${xvfb_pid:-}" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
  wait 2>/dev/null || true
}
