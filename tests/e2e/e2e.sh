#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Kestrelund end to end, as a person uses it: installs the build into a temporary prefix, starts a
# virtual X server, starts the installed program through PREFIX/bin/kestrelund with empty settings,
# and drives it with xdotool through its real dialogs:
#   1. press "Add MP3 File(s)" and type the paths of two MP3 files into the file dialog;
#   2. see two rows, each with its path and its bitrate, appear in the list;
#   3. choose "Reduce to 32 kbps" in the menu;
#   4. press "Reduce", wait for "Done." and confirm it;
#   5. check that both outputs lie beside their sources at 32 kbps and the sources are unchanged;
#   6. close the window (as a window manager asks it to) and see the program end;
#   7. start it again and see that "Reduce to 32 kbps" was remembered.
# A screenshot of the whole screen is saved after each step into BUILD_DIR/e2e/, with the
# program's output, so that a failure can be looked at. Every wait is for a window, a file or a
# picture to appear, bounded; none is a fixed pause.
# Usage: e2e.sh BUILD_DIR CMAKE CLOSE_WINDOW_HELPER
set -euo pipefail
# shellcheck source=scripts/lib/xvfb.sh
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/lib/xvfb.sh"
# shellcheck source=tests/e2e/x_session.sh
source "$(dirname "${BASH_SOURCE[0]}")/x_session.sh"

if [ $# -ne 3 ]; then
  echo "Usage: $0 BUILD_DIR CMAKE CLOSE_WINDOW_HELPER" >&2
  exit 2
fi
build_dir=$(realpath "$1")
cmake_cmd=$2
close_window=$3

require_tools Xvfb xdotool import convert compare sox lame
begin_session e2e
music="$work/My Music"

# text_difference A B X Y WIDTH HEIGHT: how many pixels of dark text differ between the two
# pictures inside the rectangle. Only the text counts: the shading behind it changes with hover
# and focus.
text_difference() {
  convert "$1" -crop "${5}x${6}+${3}+${4}" +repage -colorspace Gray -threshold 50% "$work/text-a.png"
  convert "$2" -crop "${5}x${6}+${3}+${4}" +repage -colorspace Gray -threshold 50% "$work/text-b.png"
  compare -metric AE "$work/text-a.png" "$work/text-b.png" null: 2>&1 | cut -d' ' -f1 || true
}

# Window geometry in pixels (15 twips to the pixel): the list at 8,8 (425x121), the menu at
# 63,136 (373x23), "Add MP3 File(s)" at 8,168 and "Reduce" at 296,168 (137x81 each).
list_x=8 list_y=8 list_h=121
path_col_x=12 path_col_w=290  # inside the "MP3 File(s)" column (313 px wide)
rate_col_x=326 rate_col_w=58  # inside the "Bitrate" column (67 px wide)
menu_x=63 menu_y=136 menu_w=373 menu_h=23
add_files_center="76 208"
# The menu's text: inside its frame, left of its arrow.
text_x=$((menu_x + 4)) text_y=$((menu_y + 4)) text_w=$((menu_w - 30)) text_h=$((menu_h - 8))
reduce_center="364 208"

settings="$work/config/Venmarrow/Kestrelund.conf"
menu_setting() { sed -n 's/^Combo1=//p' "$settings" 2>/dev/null || true; }
menu_setting_is() { [ "$(menu_setting)" = "$1" ]; }

# ---------------------------------------------------------------------------------------------

step "install into a temporary prefix"
"$cmake_cmd" --install "$build_dir" --prefix "$prefix" >"$shots/install.log" 2>&1 ||
  { cat "$shots/install.log" >&2; exit 1; }
[ -L "$prefix/bin/kestrelund" ] || fail "bin/kestrelund is not a link"

step "make two MP3 files"
mkdir -p "$music" "$work/originals" "$work/home" "$work/config" "$work/runtime"
chmod 700 "$work/runtime"
sox -n -r 44100 -c 2 -b 16 "$work/tone.wav" synth 2 sine 440 vol 0.3
lame --quiet -b 128 "$work/tone.wav" "$music/01 Hover.mp3"
lame --quiet -b 192 "$work/tone.wav" "$music/02 Stoop.mp3"
cp -p "$music"/*.mp3 "$work/originals/"
for f in "$music"/*.mp3; do "$prefix/bin/kestrelund-info" "$f"; done

step "start a virtual X server"
# Without -noreset Xvfb would reset whenever its last client leaves (each xdotool call, the
# program's end), refusing connections for a moment.
start_xvfb "$work" 1024x768x24 -noreset || fail "Xvfb did not start"
echo "display $DISPLAY"

step "start the installed program through bin/kestrelund"
# The pointer file is read at start; an access time older than its change time shows the read
# (where the file system records access times at all).
hand="$prefix/lib/kestrelund/HAND-M.CUR"
touch -a -d '2000-01-01 00:00:00' "$hand" "$work/atime-probe"
cat "$work/atime-probe" >/dev/null
atime_recorded=$([ "$(stat -c %X "$work/atime-probe")" -gt 946771200 ] && echo yes || echo no)
touch -a -d '2000-01-01 00:00:00' "$hand"
start_program 1
shot started
[ "$(readlink "/proc/$program_pid/exe")" = "$prefix/lib/kestrelund/kestrelund" ] ||
  fail "the process runs $(readlink "/proc/$program_pid/exe"), not the installed program"
if [ "$atime_recorded" = yes ]; then
  [ "$(stat -c %X "$hand")" -gt 946771200 ] ||
    fail "the program did not read HAND-M.CUR from its folder $prefix/lib/kestrelund"
  echo "HAND-M.CUR was read from the program folder"
else
  echo "(the file system records no access times: the pointer file read is not checked)"
fi
wait_for 10 "the first start to store the default menu entry" menu_setting_is 9
cp "$work/painted.png" "$work/empty-list.png"

step "press \"Add MP3 File(s)\" and type both paths into the file dialog"
# shellcheck disable=SC2086 # two coordinates
xdotool mousemove --window "$main" $add_files_center click 1
title='^Add File\(s\) - Hold Ctrl or Shift to select multiple files$'
dialog=$(timeout 20 xdotool search --sync --onlyvisible --all --pid "$program_pid" --name "$title" |
  head -n 1) || true
[ -n "$dialog" ] || fail "the file dialog did not appear"
xdotool windowfocus --sync "$dialog"
shot file-dialog
# The file-name field has the focus; quoted full paths choose several files at once.
xdotool type --delay 5 "\"$music/01 Hover.mp3\" \"$music/02 Stoop.mp3\""
shot paths-typed
xdotool key Return
wait_for 10 "the file dialog to close" only_main_window
# A refused file would have raised "Not a valid MP3 file!".
has_message_box && fail "a message box appeared after adding the files"

step "see two rows, each with a path and a bitrate"
two_rows() {
  window_png "$work/rows.png" || return 1
  path_rows=$(changed_bands "$work/empty-list.png" "$work/rows.png" $((list_x + path_col_x)) \
    "$path_col_w" "$list_y" "$list_h")
  rate_rows=$(changed_bands "$work/empty-list.png" "$work/rows.png" $((list_x + rate_col_x)) \
    "$rate_col_w" "$list_y" "$list_h")
  [ "$(wc -l <<<"$path_rows")" -eq 2 ] && [ "$rate_rows" = "$path_rows" ]
}
wait_for 10 "two rows with text in both columns" two_rows
shot files-added
echo "rows at lines: $(tr '\n' ' ' <<<"$path_rows")"
# Each row is one line of text, and the two bitrates (128 and 192 kbps) look different.
while IFS=- read -r top bottom; do
  [ $((bottom - top + 1)) -le 20 ] || fail "a row of $((bottom - top + 1)) lines is not one line of text"
done <<<"$path_rows"
row1=$(sed -n 1p <<<"$rate_rows") row2=$(sed -n 2p <<<"$rate_rows")
row_height=$((${row1#*-} - ${row1%-*} + 1))
convert "$work/rows.png" -crop "${rate_col_w}x${row_height}+$((list_x + rate_col_x))+${row1%-*}" \
  +repage "$work/rate1.png"
convert "$work/rows.png" -crop "${rate_col_w}x${row_height}+$((list_x + rate_col_x))+${row2%-*}" \
  +repage "$work/rate2.png"
[ "$(text_difference "$work/rate1.png" "$work/rate2.png" 0 0 "$rate_col_w" "$row_height")" -gt 0 ] ||
  fail "both rows show the same bitrate"

step "choose \"Reduce to 32 kbps\""
# The menu's entries are in a fixed order, 8 kbps first: 32 kbps is the fourth.
xdotool mousemove --window "$main" $((menu_x + menu_w / 2)) $((menu_y + menu_h / 2)) click 1
menu_open() { [ "$(program_windows | wc -l)" -eq 2 ]; }
wait_for 10 "the menu's list to open" menu_open
shot menu-open
xdotool key Home Down Down Down Return
wait_for 10 "the menu choice to be stored" menu_setting_is 3
wait_for 10 "the menu to close" only_main_window
menu_text_changed() {
  window_png "$work/chosen.png" &&
    [ "$(text_difference "$work/chosen.png" "$work/empty-list.png" $text_x $text_y $text_w $text_h)" -gt 0 ]
}
wait_for 10 "the menu to show another entry" menu_text_changed
shot menu-32-kbps

step "press \"Reduce\" and wait for \"Done.\""
# shellcheck disable=SC2086 # two coordinates
xdotool mousemove --window "$main" $reduce_center click 1
wait_for 120 "the message box that ends the run" has_message_box
box=$(message_box)
shot "done"
for f in "01 Hover" "02 Stoop"; do
  [ -f "$music/${f}_32KBIT_REDUCED.mp3" ] || fail "no output ${f}_32KBIT_REDUCED.mp3 when the run's closing message showed"
done

step "confirm \"Done.\""
xdotool windowfocus --sync "$box"
xdotool key Return
wait_for 10 "the message box to close" only_main_window
shot confirmed

step "check the outputs and the sources"
for f in "01 Hover" "02 Stoop"; do
  out="$music/${f}_32KBIT_REDUCED.mp3"
  json=$("$prefix/bin/kestrelund-info" --json "$out") || fail "kestrelund-info refuses $out"
  echo "$json"
  grep -q '"valid":true' <<<"$json" || fail "$out is not a valid MP3 file"
  grep -q '"Bitrate":32000,' <<<"$json" || fail "$out is not 32 kbps"
  cmp "$music/$f.mp3" "$work/originals/$f.mp3" || fail "the source $f.mp3 changed"
done
listing=$(cd "$music" && ls -A)
expected=$(printf '%s\n' "01 Hover.mp3" "01 Hover_32KBIT_REDUCED.mp3" "02 Stoop.mp3" \
  "02 Stoop_32KBIT_REDUCED.mp3")
[ "$listing" = "$expected" ] || fail "the folder holds other files than sources and outputs: $listing"

step "close the window"
close_program
shot closed
menu_setting_is 3 || fail "the stored menu entry is $(menu_setting), not 3"

step "start again: \"Reduce to 32 kbps\" is remembered"
start_program 2
shot restarted
# At start the program stores the entry it restored; a lost choice would have become 9.
menu_setting_is 3 || fail "after the restart the stored menu entry is $(menu_setting), not 3"
# The menu's text looks like the chosen entry's, by a wide margin more than like the first
# start's default entry.
to_chosen=$(text_difference "$work/painted.png" "$work/chosen.png" $text_x $text_y $text_w $text_h)
to_default=$(text_difference "$work/painted.png" "$work/empty-list.png" $text_x $text_y $text_w $text_h)
echo "menu text differs from the chosen entry's in $to_chosen pixels, from the default's in $to_default"
[ $((to_chosen * 4)) -lt "$to_default" ] ||
  fail "the menu does not show \"Reduce to 32 kbps\" after the restart"
close_program

echo "e2e passed; screenshots in $shots"
