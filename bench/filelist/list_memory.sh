#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# How much the program grows with 100,000 rows: starts a virtual X server (Xvfb) and the program
# on it, reads its resident memory (VmRSS) with the window empty, adds a generated tree of 100,000
# MP3 files with paths of about 40 characters through "Add All MP3 File(s) In Folder" and its real
# folder dialog (driven by xdotool), and reads VmRSS again once the add has ended. Target: at most
# 20 MB of growth.
#   bench/filelist/list_memory.sh [BUILD_DIR | PROGRAM]    (default build; builds the program)
set -euo pipefail
cd "$(dirname "$0")/../.."
source scripts/lib/xvfb.sh

if [ -x "${1:-}" ] && [ -f "${1:-}" ]; then
  program=$(realpath "$1")
else
  build=${1:-build}
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build" --target kestrelund >/dev/null
  program=$(realpath "$build/bin/kestrelund")
fi
for tool in Xvfb xdotool sox lame; do
  command -v "$tool" >/dev/null || { echo "list_memory: $tool is missing (scripts/deps.sh)" >&2; exit 1; }
done

work=$(mktemp -d /tmp/klm.XXXXXX)
xvfb_pid=""
program_pid=""
finish() {
  stop_program_and_xvfb
  rm -rf "$work"
}
trap finish EXIT

# 1,000 folders of 100 files, each a hard link to one short MP3 file; a path such as
# /tmp/klm.XXXXXX/music/d0001/song 00001.mp3 is 42 characters.
echo "making 100,000 files..."
sox -n -r 44100 -c 2 "$work/tone.wav" synth 0.2 sine 440 2>/dev/null
lame --quiet -b 128 "$work/tone.wav" "$work/tone.mp3"
# A file takes at most 65,000 links: each quarter of the folders links to a copy of its own.
for q in 0 1 2 3; do
  cp "$work/tone.mp3" "$work/tone$q.mp3"
  mkdir -p "$work/music/d0${q}00"
  for i in $(seq -w 0 99); do ln "$work/tone$q.mp3" "$work/music/d0${q}00/song 000$i.mp3"; done
done
for d in $(seq -w 0 999); do
  [ -d "$work/music/d0$d" ] || cp -al "$work/music/d0$((10#$d / 250))00" "$work/music/d0$d"
done
[ "$(find "$work/music" -name '*.mp3' | wc -l)" -eq 100000 ] || { echo "list_memory: the tree is incomplete" >&2; exit 1; }

start_xvfb "$work" 1280x1024x24 -noreset
private_runtime_dir "$work"
mkdir -p "$work/config" "$work/home"
HOME="$work/home" XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=xcb "$program" \
  >"$work/program.log" 2>&1 &
program_pid=$!
main=""
for _ in $(seq 300); do
  main=$(xdotool search --onlyvisible --all --pid "$program_pid" --name '^Kestrelund$' 2>/dev/null |
    head -n 1) || true
  [ -n "$main" ] && break
  sleep 0.1
done
[ -n "$main" ] || { echo "list_memory: the window did not appear" >&2; exit 1; }

rss_kb() { awk '/^VmRSS:/ {print $2}' "/proc/$program_pid/status"; }
cpu_ticks() { awk '{print $14 + $15}' "/proc/$program_pid/stat"; }
# Waits until the program has used no processor time for a second.
settle() {
  local before after
  after=$(cpu_ticks)
  while :; do
    sleep 1
    before=$after
    after=$(cpu_ticks)
    [ "$before" = "$after" ] && break
  done
}

settle
empty=$(rss_kb)
echo "empty window: VmRSS $empty kB"

# "Add All MP3 File(s) In Folder" lies at (152, 168) with a size of 137 by 81.
xdotool mousemove --window "$main" 220 208 click 1
dialog=$(timeout 20 xdotool search --sync --onlyvisible --all --pid "$program_pid" \
  --name 'Please select folder to add:' | head -n 1) || true
[ -n "$dialog" ] || { echo "list_memory: the folder dialog did not appear" >&2; exit 1; }
xdotool windowfocus --sync "$dialog"
sleep 0.5
xdotool type --delay 5 "$work/music"
xdotool key Return
start=$(date +%s.%N)
settle
end=$(date +%s.%N)
# A warning box would mean a file was refused.
boxes=$(xdotool search --onlyvisible --all --pid "$program_pid" --name '^Kestrelund$' | grep -vxc "$main" || true)
[ "$boxes" -eq 0 ] || { echo "list_memory: a message box appeared" >&2; exit 1; }
full=$(rss_kb)
echo "100,000 rows:  VmRSS $full kB (the add took about $(awk -v a="$start" -v b="$end" 'BEGIN {printf "%.1f", b - a - 1}') s)"
awk -v e="$empty" -v f="$full" 'BEGIN {
  printf "growth: %.1f MB (%.1f MiB); target at most 20 MB\n", (f - e) * 1024 / 1e6, (f - e) / 1024
  exit (f - e) * 1024 / 1e6 <= 20 ? 0 : 1
}'
