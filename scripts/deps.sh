#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs every Debian package that building, running and testing Kestrelund needs, when missing.
# As root it uses apt-get; otherwise it prints the command to run.
set -euo pipefail

packages=(
  # build
  build-essential cmake ninja-build pkg-config git clang libclang-rt-14-dev clang-format
  qt6-base-dev qt6-base-dev-tools libgl-dev qt6-qpa-plugins libxcb1-dev
  # tests and benchmarks
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  # the encoder and test audio; ffmpeg's ffprobe counts frames as a decoder does, its encoders
  # write Layer II
  lame sox ffmpeg
  # bench/reduce/lame_model.sh cuts and splices frames and reads WAV files with a Python helper
  python3
  # fonts the window asks for (Arial resolves to Liberation Sans)
  fonts-liberation2 fontconfig
  # a virtual X server, driving it, screenshots
  xvfb xauth xdotool x11-utils imagemagick libx11-dev
  # rendering the artwork from its drawings (assets/make-assets.sh)
  librsvg2-bin
  # the manual pages (scdoc renders them, man checks them)
  scdoc man-db
  # a private session bus for the test of the run's progress on the program's icon
  dbus-daemon
  # reading the window from outside as a screen reader does: the accessibility bus, the reader's
  # client library, and dbus-run-session for a session bus of the test's own
  at-spi2-core python3-pyatspi dbus
  # desktop integration checks and the Debian package
  desktop-file-utils appstream dpkg-dev file lintian
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

cmd="apt-get install -y --no-install-recommends ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
  echo "Kestrelund needs these Debian packages. Run as root:" >&2
  echo "  apt-get update && $cmd" >&2
  exit 1
fi

echo "Installing: ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
# shellcheck disable=SC2086
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
