#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Kestrelund read from outside, as a screen reader reads it: installs the build into a temporary
# prefix, starts a virtual X server and a private session bus (whose accessibility bus starts on
# demand), and lets screen_reader.py start the installed program and work it over AT-SPI. HOME and
# every XDG folder lie in the temporary folder, so neither the buses nor the program write
# outside it. Ends with status 77 (skipped) where the accessibility bus or pyatspi is missing.
# Usage: screen_reader.sh BUILD_DIR CMAKE
set -euo pipefail
here=$(dirname "${BASH_SOURCE[0]}")
# shellcheck source=scripts/lib/xvfb.sh
source "$here/../../scripts/lib/xvfb.sh"
# shellcheck source=tests/e2e/x_session.sh
source "$here/x_session.sh"

[ $# -eq 2 ] || { echo "Usage: $0 BUILD_DIR CMAKE" >&2; exit 2; }
build_dir=$(realpath "$1")
cmake_cmd=$2

# The reader runs on the system's own Python, where the Debian package puts pyatspi.
python=/usr/bin/python3
skip() { echo "screen_reader: SKIPPED: $* (scripts/deps.sh installs it)"; exit 77; }
command -v dbus-run-session >/dev/null || skip "dbus-run-session is missing"
[ -x /usr/libexec/at-spi-bus-launcher ] || skip "the accessibility bus (at-spi2-core) is missing"
"$python" -c 'import pyatspi' 2>/dev/null || skip "pyatspi (python3-pyatspi) is missing"
require_tools Xvfb import
begin_session screen-reader

step "install into a temporary prefix"
"$cmake_cmd" --install "$build_dir" --prefix "$prefix" >"$shots/install.log" 2>&1 ||
  { cat "$shots/install.log" >&2; exit 1; }

step "make a file that is no MP3 file, deep in folders with blanks in their names"
not_mp3="$(realpath "$work")/My Music/Live Sets/2024/Side A.mp3"
mkdir -p "$(dirname "$not_mp3")" "$work/home" "$work/config" "$work/cache" "$work/data"
mkdir -m 700 "$work/runtime"
echo "a text, not audio" >"$not_mp3"

step "start a virtual X server"
start_xvfb "$work" 1024x768x24 -noreset || fail "Xvfb did not start"
echo "display $DISPLAY"

step "read the program over AT-SPI"
# The session bus listens in the temporary folder, not in /tmp as the system's own configuration
# has it; the accessibility bus that it starts listens in XDG_RUNTIME_DIR.
cat >"$work/session.conf" <<END
<busconfig><type>session</type><listen>unix:dir=$work/runtime</listen><auth>EXTERNAL</auth>
  <standard_session_servicedirs/><policy context="default"><allow own="*"/>
  <allow send_destination="*" eavesdrop="true"/><allow eavesdrop="true"/></policy></busconfig>
END
# timeout ends the whole process group (the bus, the reader, the program) if anything hangs.
env -u AT_SPI_BUS_ADDRESS HOME="$work/home" XDG_CONFIG_HOME="$work/config" \
  XDG_CACHE_HOME="$work/cache" XDG_DATA_HOME="$work/data" XDG_RUNTIME_DIR="$work/runtime" \
  timeout -k 5 40 dbus-run-session --config-file="$work/session.conf" -- \
  "$python" "$here/screen_reader.py" "$prefix/bin/kestrelund" "$not_mp3" \
  "$shots/reader-failure.png" "$shots/program-1.log" ||
  fail "the screen reader's check ended with status $?"
echo "screen reader check passed"
