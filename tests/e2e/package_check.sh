#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package from the build into a temporary folder and checks it without
# installing it: its name, its control fields (section, maintainer, the real dependencies), its
# file list (everything under /usr, the encoder link naming /usr/bin/lame relatively, relative
# links in /usr/bin, the manual pages, the copyright and the changelog), its unpacked desktop entry
# and metainfo through both validators, its manual pages through man, and that lintian reports no
# error and no warning (its informational tags are shown).
# Usage: package_check.sh BUILD_DIR CPACK APP_ID
set -euo pipefail
# shellcheck source=tests/e2e/checks.sh
source "$(dirname "${BASH_SOURCE[0]}")/checks.sh"

if [ $# -ne 3 ]; then
  echo "Usage: $0 BUILD_DIR CPACK APP_ID" >&2
  exit 2
fi
build_dir=$(realpath "$1")
cpack_cmd=$2
app_id=$3

for tool in lintian man; do
  command -v "$tool" >/dev/null || {
    echo "package_check: $tool is missing (scripts/deps.sh installs it)" >&2
    exit 1
  }
done

work=$(mktemp -d "$build_dir/package-check.XXXXXX")
trap 'rm -rf "$work"' EXIT

"$cpack_cmd" --config "$build_dir/CPackConfig.cmake" -G DEB -B "$work" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log" >&2; exit 1; }

arch=$(dpkg --print-architecture)
shopt -s nullglob
debs=("$work"/*.deb)
if [ ${#debs[@]} -ne 1 ]; then
  echo "package_check: expected one .deb, found ${#debs[@]}" >&2
  cat "$work/cpack.log" >&2
  exit 1
fi
deb=${debs[0]}
name=$(basename "$deb")
if [[ "$name" =~ ^kestrelund_[0-9]+\.[0-9]+\.[0-9]+_${arch}\.deb$ ]]; then
  pass "file name $name"
else
  fail "file name $name is not kestrelund_<version>_$arch.deb"
fi

field() { dpkg-deb -f "$deb" "$1"; }
expect_field() { # NAME VALUE
  if [ "$(field "$1")" = "$2" ]; then pass "$1: $2"; else fail "$1: '$(field "$1")', not '$2'"; fi
}
expect_field Package kestrelund
expect_field Section sound
expect_field Architecture "$arch"
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build_dir/CPackConfig.cmake")
expect_field Version "$version"
for f in Maintainer Description; do
  if [ -n "$(field "$f")" ]; then pass "$f: $(field "$f" | head -n 1)"; else fail "no $f"; fi
done
depends=$(field Depends)
echo "Depends: $depends"
for dep in lame qt6-qpa-plugins libqt6widgets6 libqt6gui6 libqt6core6; do
  # Each dependency is a whole package name, with or without a version.
  if grep -Eq "(^|, )$dep( \([^)]*\))?(,|$)" <<<"$depends"; then
    pass "depends on $dep"
  else
    fail "does not depend on $dep"
  fi
done
recommends=$(field Recommends)
echo "Recommends: $recommends"
for rec in fonts-liberation2 qt6-wayland; do
  if grep -Eq "(^|, )$rec(,|$)" <<<"$recommends"; then
    pass "recommends $rec"
  else
    fail "does not recommend $rec"
  fi
done

contents=$(dpkg-deb -c "$deb")
if outside=$(awk '{print $6}' <<<"$contents" | grep -v '^\./usr/' | grep -vx '\./'); then
  fail "files outside /usr: $outside"
else
  pass "everything lies under /usr"
fi
expect_entry() { # PATTERN DESCRIPTION: one line of the file list matches PATTERN
  if grep -Eq "$1" <<<"$contents"; then pass "$2"; else fail "$2"; fi
}
expect_entry ' \./usr/lib/kestrelund/lame -> \.\./\.\./bin/lame$' "usr/lib/kestrelund/lame -> ../../bin/lame"
expect_entry ' \./usr/bin/kestrelund -> \.\./lib/kestrelund/kestrelund$' "usr/bin/kestrelund is a relative link"
expect_entry ' \./usr/bin/kestrelund-info -> \.\./lib/kestrelund/kestrelund-info$' "usr/bin/kestrelund-info is a relative link"
for f in kestrelund kestrelund-info kestrelund-walk HAND-M.CUR drag.ico; do
  expect_entry "^-.* \./usr/lib/kestrelund/$f\$" "usr/lib/kestrelund/$f"
done
expect_entry " \./usr/share/applications/$app_id\.desktop\$" "desktop entry"
expect_entry " \./usr/share/metainfo/$app_id\.metainfo\.xml\$" "metainfo"
expect_entry " \./usr/share/icons/hicolor/scalable/apps/$app_id\.svg\$" "scalable icon"
expect_entry " \./usr/share/icons/hicolor/48x48/apps/$app_id\.png\$" "48x48 icon"
for f in man/man1/kestrelund.1.gz man/man1/kestrelund-info.1.gz doc/kestrelund/copyright \
  doc/kestrelund/changelog.gz; do
  expect_entry "^-.* \./usr/share/$f\$" "usr/share/$f"
done

root="$work/root"
dpkg-deb -x "$deb" "$root"
validate_desktop_files "$root/usr/share/applications/$app_id.desktop" \
  "$root/usr/share/metainfo/$app_id.metainfo.xml"
if grep -rlF "$build_dir" "$root/usr/share" >/dev/null; then
  fail "the packaged data names the build folder"
fi
if "$root/usr/lib/kestrelund/kestrelund-info" --help | grep -q '^Usage: kestrelund-info'; then
  pass "the packaged kestrelund-info runs"
else
  fail "the packaged kestrelund-info does not run"
fi
check_version "$root/usr/lib/kestrelund/kestrelund-info" "$version"
mkdir -p "$work/walked"
: >"$work/walked/a.mp3"
walked=$("$root/usr/lib/kestrelund/kestrelund-info" -r "$work/walked" || true)
if grep -qF "$work/walked/a.mp3: not a valid" <<<"$walked"; then
  pass "the packaged kestrelund-info -r walks a folder"
else
  fail "the packaged kestrelund-info -r does not walk a folder"
fi
check_manual_pages "$root/usr/share/man/man1" "$version"
check_documents "$root/usr/share/doc/kestrelund" "$version"

# lintian: errors and warnings fail; informational tags are listed, and pass.
lintian_rc=0
lintian_out=$(lintian --tag-display-limit 0 --display-info "$deb" 2>&1) || lintian_rc=$?
if grep -q '^[EW]: ' <<<"$lintian_out" || [ "$lintian_rc" -ne 0 ]; then
  fail "lintian (exit status $lintian_rc): $lintian_out"
else
  pass "lintian: no error, no warning"
  grep '^I: ' <<<"$lintian_out" | sed 's/^/  /' || true
fi

finish_checks package
