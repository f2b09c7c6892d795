#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds Kestrelund and starts its window.
# Without a display (neither DISPLAY nor WAYLAND_DISPLAY set) the window starts on a virtual X
# server (Xvfb) instead; a screenshot of it is saved into the build folder, and the program keeps
# running until this script is interrupted (Ctrl+C).
# The build folder is build/ unless KESTRELUND_BUILD_DIR names another.
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=scripts/lib/xvfb.sh
source scripts/lib/xvfb.sh

build_dir=$(realpath -m "${KESTRELUND_BUILD_DIR:-build}")

./scripts/deps.sh

if [ ! -f "$build_dir/build.ninja" ]; then
  cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
# The program, the probe, the encoder link and the pointer files: whatever this checkout has.
targets=()
known=$(cmake --build "$build_dir" --target help)
for t in kestrelund kestrelund-info kestrelund_lame_link kestrelund_pointers; do
  if grep -q "^$t:" <<<"$known"; then
    targets+=("$t")
  fi
done
cmake --build "$build_dir" -j "$(nproc)" --target "${targets[@]}"

program="$build_dir/bin/kestrelund"
if [ ! -x "$program" ]; then
  echo "run.sh: $program was not built" >&2
  exit 1
fi

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec "$program"
fi

echo "No display (neither DISPLAY nor WAYLAND_DISPLAY is set): starting Kestrelund on a virtual X server (Xvfb)."

tmp=$(mktemp -d)
xvfb_pid=""
program_pid=""
# shellcheck disable=SC2317 # run by the EXIT trap
cleanup() {
  stop_program_and_xvfb
  rm -rf "$tmp"
}
trap cleanup EXIT
trap 'echo; echo "Stopping Kestrelund and the virtual X server."; exit 130' INT
trap 'exit 143' TERM

if ! start_xvfb "$tmp" 1280x800x24; then
  echo "run.sh: the virtual X server did not start (its log is above)" >&2
  exit 1
fi
private_runtime_dir "$tmp"
echo "Virtual display: $DISPLAY"

"$program" &
program_pid=$!

if ! window=$(timeout 30 xdotool search --sync --onlyvisible --name '^Kestrelund$' 2>/dev/null | head -n 1) ||
  [ -z "$window" ]; then
  if ! kill -0 "$program_pid" 2>/dev/null; then
    status=0
    wait "$program_pid" || status=$?
    program_pid=""
    echo "run.sh: Kestrelund ended before its window appeared (exit status $status)" >&2
    exit "$status"
  fi
  echo "run.sh: the window did not appear within 30 seconds" >&2
  exit 1
fi

sleep 1 # let the window finish painting
shot="$build_dir/run-screenshot.png"
import -window "$window" "$shot" 2>/dev/null || import -window root "$shot"
echo "Screenshot of the window: $shot"
echo "Kestrelund is running on $DISPLAY. Press Ctrl+C to stop it."

status=0
wait "$program_pid" || status=$?
program_pid=""
exit "$status"
