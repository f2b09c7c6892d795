#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Takes the README's screenshot of the real window: builds if needed, starts Kestrelund on its own
# virtual X server (Xvfb) with fresh settings, adds three MP3 files through the "Add MP3 File(s)"
# dialog as a user would, and saves the window as docs/screenshot.png (or the path given as the
# first argument).
# The build folder is build/ unless KESTRELUND_BUILD_DIR names another.
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=scripts/lib/xvfb.sh
source scripts/lib/xvfb.sh

build_dir=$(realpath -m "${KESTRELUND_BUILD_DIR:-build}")
out=${1:-docs/screenshot.png}

./scripts/deps.sh
if [ ! -f "$build_dir/build.ninja" ]; then
  cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
targets=()
known=$(cmake --build "$build_dir" --target help)
for t in kestrelund kestrelund_lame_link kestrelund_pointers; do
  if grep -q "^$t:" <<<"$known"; then
    targets+=("$t")
  fi
done
cmake --build "$build_dir" -j "$(nproc)" --target "${targets[@]}" >/dev/null
program="$build_dir/bin/kestrelund"
[ -x "$program" ] || { echo "screenshot.sh: $program was not built" >&2; exit 1; }

tmp=$(mktemp -d)
# The added files live under a short, readable folder name when it is free (mkdir refuses an
# existing name, so nothing of anyone else's is touched), else in a fresh temporary folder.
demo=/tmp/kestrelund-demo
mkdir "$demo" 2>/dev/null || demo=$(mktemp -d)
xvfb_pid=""
program_pid=""
# shellcheck disable=SC2317 # run by the EXIT trap
cleanup() {
  stop_program_and_xvfb
  rm -rf "$tmp" "$demo"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# Three short tones, encoded at three bitrates.
music="$demo/Music"
mkdir -p "$music"
make_mp3() { # name frequency lame-options...
  local name=$1 freq=$2
  shift 2
  sox -n -r 44100 -c 2 -b 16 "$tmp/tone.wav" synth 3 sine "$freq" vol 0.3
  lame --quiet "$@" "$tmp/tone.wav" "$music/$name"
}
make_mp3 "01 Hover.mp3" 440 -b 128
make_mp3 "02 Stoop.mp3" 660 -b 192
make_mp3 "03 Open Field.mp3" 550 -b 320

start_xvfb "$tmp" 1024x768x24 || { echo "screenshot.sh: Xvfb did not start" >&2; exit 1; }
private_runtime_dir "$tmp"

mkdir -p "$tmp/config"
(cd "$tmp" && XDG_CONFIG_HOME="$tmp/config" HOME="$tmp" exec "$program") >"$tmp/program.log" 2>&1 &
program_pid=$!

window=$(timeout 30 xdotool search --sync --onlyvisible --name '^Kestrelund$' | head -n 1) || true
if [ -z "$window" ]; then
  cat "$tmp/program.log" >&2
  echo "screenshot.sh: the window did not appear" >&2
  exit 1
fi
sleep 1

# visible_windows PATTERN: ids of the mapped windows whose whole title matches PATTERN.
visible_windows() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null || true; }

# Press "Add MP3 File(s)" (left 120, top 2520, 2055 by 1215 twips: its middle is at 76,208 pixels),
# then type the folder and the three names into the dialog's file-name field.
title_re="Add File.s. - Hold Ctrl or Shift to select multiple files"
xdotool mousemove --window "$window" 76 208 click 1
dialog=$(timeout 10 xdotool search --sync --onlyvisible --name "^$title_re\$" 2>/dev/null | head -n 1) || true
if [ -n "$dialog" ]; then
  sleep 0.5
  xdotool windowfocus --sync "$dialog" 2>/dev/null || true
  xdotool mousemove --window "$dialog" 20 20
  xdotool type --delay 5 "$music/"
  xdotool key Return
  sleep 0.5
  xdotool type --delay 5 '"01 Hover.mp3" "02 Stoop.mp3" "03 Open Field.mp3"'
  xdotool key Return
  for _ in $(seq 50); do
    [ -z "$(visible_windows "$title_re")" ] && break
    sleep 0.1
  done
  # A refused file would leave a message box titled like the window: close it.
  for _ in 1 2 3; do
    extra=$(visible_windows Kestrelund | grep -vx "$window" | head -n 1) || true
    [ -z "$extra" ] && break
    xdotool windowfocus --sync "$extra" 2>/dev/null || true
    xdotool key --window "$extra" Return
    sleep 0.3
  done
  if [ -n "$(visible_windows "$title_re")" ]; then
    echo "screenshot.sh: the file dialog did not close; the screenshot shows it open" >&2
  fi
else
  echo "screenshot.sh: the file dialog did not appear; the screenshot shows an empty list" >&2
fi

# Rest the pointer away from the window so that no hover hint shows, then let it repaint.
xdotool mousemove 1020 760
sleep 1

mkdir -p "$(dirname "$out")"
import -window "$window" -strip "$out"
echo "Screenshot: $(cd "$(dirname "$out")" && pwd)/$(basename "$out") ($(identify -format '%wx%h' "$out"))"
