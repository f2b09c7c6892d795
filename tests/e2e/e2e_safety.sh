#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# A Reduce run that meets every hazard a shared music folder can hold, driven through the
# installed program on a virtual X server as a person would:
#   - outputs that already exist as a symbolic link to the source, a hard link of the source, or
#     a symbolic link to a file outside the folder;
#   - a listed file that another row's output would replace, and two sources whose outputs share
#     one name (x.mp3 and x.MP3);
#   - a folder, a text file and a FIFO dropped onto the list;
#   - the first row removed by a double-click while its file is being encoded.
# Rows come in through the file dialog and through an XDND drop. At the default 96 kbps, the run
# must encode each listed file that can be encoded exactly once (a logging stand-in wraps the
# encoder), end with its closing message, leave every source and every other file byte for byte
# as it was, and leave no output for a row that failed.
# Usage: e2e_safety.sh BUILD_DIR CMAKE CLOSE_WINDOW_HELPER DROP_FILES_HELPER
set -euo pipefail
# shellcheck source=scripts/lib/xvfb.sh
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/lib/xvfb.sh"
# shellcheck source=tests/e2e/x_session.sh
source "$(dirname "${BASH_SOURCE[0]}")/x_session.sh"

if [ $# -ne 4 ]; then
  echo "Usage: $0 BUILD_DIR CMAKE CLOSE_WINDOW_HELPER DROP_FILES_HELPER" >&2
  exit 2
fi
build_dir=$(realpath "$1")
cmake_cmd=$2
close_window=$3
drop_files=$4

require_tools Xvfb xdotool import convert sox lame mkfifo
begin_session e2e-safety
music="$work/music"

list_x=8 list_y=8 list_h=121 path_col_x=12 path_col_w=290
add_files_center="76 208"
reduce_center="364 208"

# add_by_dialog PATH...: presses "Add MP3 File(s)", types the quoted paths and confirms.
add_by_dialog() {
  local typed="" path
  for path in "$@"; do typed+="\"$path\" "; done
  # shellcheck disable=SC2086 # two coordinates
  xdotool mousemove --window "$main" $add_files_center click 1
  local title='^Add File\(s\) - Hold Ctrl or Shift to select multiple files$' dialog
  dialog=$(timeout 20 xdotool search --sync --onlyvisible --all --pid "$program_pid" --name "$title" |
    head -n 1) || true
  [ -n "$dialog" ] || fail "the file dialog did not appear"
  xdotool windowfocus --sync "$dialog"
  xdotool type --delay 2 "$typed"
  xdotool key Return
  wait_for 10 "the file dialog to close" only_main_window
  has_message_box && fail "a message box appeared after adding files by the dialog"
  return 0
}

# row_count: the rows the list shows now (runs of changed pixel lines in the path column).
row_count() {
  window_png "$work/rows.png" || return 1
  changed_bands "$work/empty-list.png" "$work/rows.png" $((list_x + path_col_x)) "$path_col_w" \
    "$list_y" "$list_h" | grep -c . || true
}
rows_are() { [ "$(row_count)" = "$1" ]; }

# encoded_inputs: the inputs the encoder was started on, one a line, in order.
encoded_inputs() { [ -f "$work/encoder.log" ] && cat "$work/encoder.log" || true; }
encoder_started_on() { encoded_inputs | grep -qx "$1"; }

# ---------------------------------------------------------------------------------------------

step "install into a temporary prefix, with a logging stand-in around the encoder"
"$cmake_cmd" --install "$build_dir" --prefix "$prefix" >"$shots/install.log" 2>&1 ||
  { cat "$shots/install.log" >&2; exit 1; }
encoder=$(readlink -f "$prefix/lib/kestrelund/lame")
rm "$prefix/lib/kestrelund/lame"
# The stand-in notes each input (the file its input descriptor, argument 6, stands for) and holds
# the first row's encode until the test says go, so that the row can be removed while its file is
# being encoded.
cat >"$prefix/lib/kestrelund/lame" <<EOF
#!/bin/sh
input=\$(readlink -f "\$6")
printf '%s\n' "\$input" >>"$work/encoder.log"
case "\$input" in */B1.mp3) while [ ! -e "$work/go" ]; do sleep 0.05; done ;; esac
exec "$encoder" "\$@"
EOF
chmod +x "$prefix/lib/kestrelund/lame"

step "make the music folder and its hazards"
mkdir -p "$music/Album" "$work/home" "$work/config" "$work/runtime" "$work/originals"
chmod 700 "$work/runtime"
song() { # song NAME FREQUENCY SECONDS
  sox -n -r 44100 -c 2 -b 16 "$work/tone.wav" synth "$3" sine "$2" vol 0.3
  lame --quiet -b 128 "$work/tone.wav" "$music/$1"
}
song B1.mp3 330 2
song B2.mp3 350 2
song B3.mp3 370 2
song S.mp3 390 2
song H.mp3 410 2
song V.mp3 430 2
song A.mp3 450 2
song A_96KBIT_REDUCED.mp3 470 2
song x.mp3 490 2
song x.MP3 510 2
cp "$music/A.mp3" "$music/Album/inside.mp3"
ln -s S.mp3 "$music/S_96KBIT_REDUCED.mp3"
ln "$music/H.mp3" "$music/H_96KBIT_REDUCED.mp3"
echo "a file the run must not touch" >"$work/victim.txt"
ln -s ../victim.txt "$music/V_96KBIT_REDUCED.mp3"
echo "not music" >"$music/notes.txt"
mkfifo "$music/pipe.mp3"
# Everything as it was, to compare with after the run (the FIFO has no content).
snapshot() {
  (cd "$work" && find music victim.txt ! -type d | sort | while IFS= read -r path; do
    if [ -L "$path" ]; then
      echo "$path link $(readlink "$path")"
    elif [ -p "$path" ]; then
      echo "$path fifo"
    else
      echo "$path inode $(stat -c %i "$path") $(sha256sum <"$path" | cut -c1-64)"
    fi
  done)
}
snapshot >"$work/before.txt"

step "start a virtual X server and the installed program"
start_xvfb "$work" 1024x768x24 -noreset || fail "Xvfb did not start"
start_program 1
cp "$work/painted.png" "$work/empty-list.png"
shot started

step "add rows through the file dialog"
add_by_dialog "$music/B1.mp3" "$music/B2.mp3" "$music/B3.mp3"
wait_for 10 "three rows" rows_are 3
add_by_dialog "$music/S.mp3" "$music/H.mp3" "$music/V.mp3" "$music/A.mp3" \
  "$music/A_96KBIT_REDUCED.mp3" "$music/x.mp3" "$music/x.MP3"
shot dialog-rows

step "drop a folder, a text file and a FIFO onto the list"
"$drop_files" "$main" $((list_x + 100)) $((list_y + 60)) "$music/Album" "$music/notes.txt" \
  "$music/pipe.mp3" || fail "the list refused the drop"
shot dropped

step "press \"Reduce\" and remove the first row while its file is being encoded"
# shellcheck disable=SC2086 # two coordinates
xdotool mousemove --window "$main" $reduce_center click 1
wait_for 20 "the encoder to start on B1.mp3" encoder_started_on "$music/B1.mp3"
window_png "$work/before-removal.png"
first_row=$(changed_bands "$work/empty-list.png" "$work/before-removal.png" \
  $((list_x + path_col_x)) "$path_col_w" "$list_y" "$list_h" | head -n 1)
[ -n "$first_row" ] || fail "no first row to remove"
row_y=$(((${first_row%-*} + ${first_row#*-}) / 2))
xdotool mousemove --window "$main" $((list_x + 60)) "$row_y" click --repeat 2 --delay 80 1
removed() {
  window_png "$work/after-removal.png" &&
    ! cmp -s <(convert "$work/before-removal.png" -crop "${path_col_w}x${list_h}+$((list_x + path_col_x))+$list_y" rgb:-) \
      <(convert "$work/after-removal.png" -crop "${path_col_w}x${list_h}+$((list_x + path_col_x))+$list_y" rgb:-)
}
wait_for 10 "the list to change after the double-click" removed
shot row-removed
encoded_inputs | grep -qvx "$music/B1.mp3" && fail "the run went on before the first row's encode ended"
touch "$work/go"

step "wait for the closing message"
wait_for 50 "the message box that ends the run" has_message_box
shot done
xdotool windowfocus --sync "$(message_box)"
xdotool key Return
wait_for 10 "the message box to close" only_main_window
close_program

step "each file that can be encoded was encoded once, nothing else"
expected=$(printf '%s\n' B1.mp3 B2.mp3 B3.mp3 A_96KBIT_REDUCED.mp3 x.mp3 | sed "s|^|$music/|" | sort)
actual=$(encoded_inputs | sort)
[ "$actual" = "$expected" ] || fail "the encoder ran on:
$actual
expected, once each:
$expected"

step "sources, links and the file outside are untouched; failed rows left no output"
snapshot >"$work/after.txt"
# Every file that was there before is there with the same content; only new outputs were added.
missing=$(comm -23 "$work/before.txt" "$work/after.txt")
[ -z "$missing" ] || fail "files changed or gone:
$missing"
added=$(comm -13 "$work/before.txt" "$work/after.txt" | cut -d' ' -f1 | sort)
expected_added=$(printf 'music/%s\n' B1_96KBIT_REDUCED.mp3 B2_96KBIT_REDUCED.mp3 \
  B3_96KBIT_REDUCED.mp3 A_96KBIT_REDUCED_96KBIT_REDUCED.mp3 x_96KBIT_REDUCED.mp3 | sort)
[ "$added" = "$expected_added" ] || fail "new files:
$added
expected:
$expected_added"
for f in $expected_added; do
  json=$("$prefix/bin/kestrelund-info" --json "$work/$f") || fail "kestrelund-info refuses $f"
  grep -q '"Bitrate":96000,' <<<"$json" || fail "$f is not 96 kbps: $json"
done
[ -p "$music/pipe.mp3" ] || fail "the FIFO is gone"
[ ! -e "$work/Album_96KBIT_REDUCED.mp3" ] && [ ! -e "$music/Album_96KBIT_REDUCED.mp3" ] ||
  fail "the dropped folder was encoded"

echo "e2e safety passed; screenshots in $shots"
