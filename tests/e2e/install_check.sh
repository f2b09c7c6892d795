#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the build into a temporary prefix (and once more through DESTDIR) and checks what lands
# there: the program folder with its encoder link and pointer files, the relative links in bin/,
# the desktop entry, the icons and the AppStream metainfo (and that both validators accept them),
# the manual pages (and that man renders them without warnings), the copyright and the changelog.
# Usage: install_check.sh BUILD_DIR CMAKE APP_ID
set -euo pipefail
# shellcheck source=tests/e2e/checks.sh
source "$(dirname "${BASH_SOURCE[0]}")/checks.sh"

if [ $# -ne 3 ]; then
  echo "Usage: $0 BUILD_DIR CMAKE APP_ID" >&2
  exit 2
fi
build_dir=$(realpath "$1")
cmake_cmd=$2
app_id=$3

for tool in desktop-file-validate appstreamcli man; do
  command -v "$tool" >/dev/null || {
    echo "install_check: $tool is missing (scripts/deps.sh installs it)" >&2
    exit 1
  }
done

version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build_dir/CPackConfig.cmake")

work=$(mktemp -d "$build_dir/install-check.XXXXXX")
trap 'rm -rf "$work"' EXIT

# expect_file PATH: a regular file (not a link).
expect_file() {
  if [ -f "$1" ] && [ ! -L "$1" ]; then pass "file ${1#"$work"/}"; else fail "no file $1"; fi
}
# expect_link PATH TARGET: a symbolic link whose content is exactly TARGET.
expect_link() {
  if [ -L "$1" ] && [ "$(readlink "$1")" = "$2" ]; then
    pass "link ${1#"$work"/} -> $2"
  else
    fail "$1 is not a link to $2 (it is: $(readlink "$1" 2>/dev/null || echo 'no link'))"
  fi
}

check_prefix() { # ROOT: the installed tree's prefix as seen on disk
  local root=$1
  local program_dir="$root/lib/kestrelund"
  expect_file "$program_dir/kestrelund"
  expect_file "$program_dir/kestrelund-info"
  expect_file "$program_dir/kestrelund-walk"
  expect_file "$program_dir/HAND-M.CUR"
  expect_file "$program_dir/drag.ico"
  cmp -s "$program_dir/HAND-M.CUR" "$build_dir/bin/HAND-M.CUR" || fail "HAND-M.CUR differs from the build's"
  cmp -s "$program_dir/drag.ico" "$build_dir/bin/drag.ico" || fail "drag.ico differs from the build's"
  [ -x "$program_dir/kestrelund" ] || fail "kestrelund is not executable"

  # The encoder link names the system's encoder by its absolute path.
  local lame_target
  lame_target=$(readlink "$program_dir/lame" || true)
  case "$lame_target" in
    /*) pass "lame links the absolute path $lame_target" ;;
    *) fail "lib/kestrelund/lame is not a link to an absolute path: '$lame_target'" ;;
  esac
  if [ -x "$program_dir/lame" ] && "$program_dir/lame" --version 2>/dev/null | grep -q LAME; then
    pass "lib/kestrelund/lame runs the encoder"
  else
    fail "lib/kestrelund/lame does not run the encoder"
  fi

  expect_link "$root/bin/kestrelund" ../lib/kestrelund/kestrelund
  expect_link "$root/bin/kestrelund-info" ../lib/kestrelund/kestrelund-info
  if "$root/bin/kestrelund-info" --help | grep -q '^Usage: kestrelund-info'; then
    pass "bin/kestrelund-info runs"
  else
    fail "bin/kestrelund-info does not run"
  fi
  check_version "$root/bin/kestrelund-info" "$version"
  # -r runs the folder walk, a program of its own, from the probe's folder.
  mkdir -p "$work/walked/sub"
  : >"$work/walked/sub/a.mp3"
  local walked
  walked=$("$root/bin/kestrelund-info" -r "$work/walked" || true)
  if grep -qF "$work/walked/sub/a.mp3: not a valid" <<<"$walked"; then
    pass "bin/kestrelund-info -r walks a folder"
  else
    fail "bin/kestrelund-info -r does not walk a folder"
  fi

  local desktop="$root/share/applications/$app_id.desktop"
  local metainfo="$root/share/metainfo/$app_id.metainfo.xml"
  expect_file "$desktop"
  expect_file "$metainfo"
  expect_file "$root/share/icons/hicolor/scalable/apps/$app_id.svg"
  local size
  for size in 16 32 48 64 128 256; do
    local png="$root/share/icons/hicolor/${size}x${size}/apps/$app_id.png"
    expect_file "$png"
    if [ -f "$png" ] && ! file -b "$png" | grep -q "PNG image data, $size x $size"; then
      fail "$png is not a $size by $size PNG"
    fi
  done

  validate_desktop_files "$desktop" "$metainfo"

  # The three files name one another by the application id.
  grep -qx "Icon=$app_id" "$desktop" || fail "the desktop entry's Icon is not $app_id"
  grep -qx "Exec=kestrelund" "$desktop" || fail "the desktop entry does not run kestrelund"
  grep -q "<id>$app_id</id>" "$metainfo" || fail "the metainfo's id is not $app_id"
  grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$metainfo" ||
    fail "the metainfo does not launch $app_id.desktop"
  grep -q "<project_license>GPL-3.0-or-later</project_license>" "$metainfo" ||
    fail "the metainfo does not name the licence GPL-3.0-or-later"
  grep -q "<release version=\"$version\" date=\"[0-9-]*\"/>" "$metainfo" ||
    fail "the metainfo's release is not $version"

  check_manual_pages "$root/share/man/man1" "$version"
  local found
  found=$(man -M "$root/share/man" -w kestrelund-info 2>/dev/null || true)
  if [ "$found" = "$root/share/man/man1/kestrelund-info.1.gz" ]; then
    pass "man finds kestrelund-info(1) under share/man"
  else
    fail "man -M share/man -w kestrelund-info found '$found'"
  fi
  check_documents "$root/share/doc/kestrelund" "$version"
}

echo "== cmake --install --prefix =="
prefix="$work/prefix"
"$cmake_cmd" --install "$build_dir" --prefix "$prefix" >"$work/install.log" 2>&1 ||
  { cat "$work/install.log" >&2; exit 1; }
check_prefix "$prefix"

echo "== DESTDIR install =="
# A staged install (as packaging does) writes only below DESTDIR; its links stay relative.
staged_prefix=/opt/kestrelund-install-check
[ -e "$staged_prefix" ] && { echo "install_check: $staged_prefix exists already" >&2; exit 1; }
DESTDIR="$work/stage" "$cmake_cmd" --install "$build_dir" --prefix "$staged_prefix" \
  >"$work/install-destdir.log" 2>&1 || { cat "$work/install-destdir.log" >&2; exit 1; }
check_prefix "$work/stage$staged_prefix"
if [ -e "$staged_prefix" ]; then
  fail "the DESTDIR install wrote $staged_prefix outside DESTDIR"
fi

finish_checks install
