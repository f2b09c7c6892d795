# SPDX-License-Identifier: GPL-3.0-or-later
# shellcheck shell=bash
# Sourced by the install and package checks: each check passes or fails with a line of its own,
# failures are counted, and the script ends with the tally.

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
pass() { echo "ok: $*"; }

# validate_desktop_files DESKTOP METAINFO: both validators; any message from
# desktop-file-validate counts, even a hint.
validate_desktop_files() {
  local out
  if out=$(desktop-file-validate "$1" 2>&1) && [ -z "$out" ]; then
    pass "desktop-file-validate"
  else
    fail "desktop-file-validate: $out"
  fi
  if out=$(appstreamcli validate --no-net --pedantic "$2" 2>&1); then
    pass "appstreamcli validate --no-net --pedantic"
  else
    fail "appstreamcli validate: $out"
  fi
}

# check_manual_pages MAN1_DIR VERSION: kestrelund.1.gz and kestrelund-info.1.gz are there,
# compressed, titled with their name and VERSION, and man renders each without a warning.
check_manual_pages() {
  local page out
  for page in kestrelund kestrelund-info; do
    local file="$1/$page.1.gz"
    if [ ! -f "$file" ] || ! gzip -t "$file" 2>/dev/null; then
      fail "no compressed manual page $file"
      continue
    fi
    if out=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 \
      man --warnings -E UTF-8 -l -Tutf8 -Z "$file" 2>&1 >/dev/null) && [ -z "$out" ]; then
      pass "manual page $page(1) renders without warnings"
    else
      fail "man --warnings $file: $out"
    fi
    if zcat "$file" | grep -q "^\.TH \"$page\" \"1\" \"[0-9-]*\" \"Kestrelund $2\""; then
      pass "manual page $page(1) is titled $page(1), Kestrelund $2"
    else
      fail "$file is not titled $page(1), Kestrelund $2"
    fi
  done
}

# check_documents DOC_DIR VERSION: the machine-readable copyright with the project's licence, and
# the compressed changelog whose newest entry is VERSION.
check_documents() {
  local copyright="$1/copyright" changelog="$1/changelog.gz"
  if [ -f "$copyright" ] &&
    grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/$' "$copyright" &&
    grep -q '^License: GPL-3.0-or-later$' "$copyright"; then
    pass "copyright names GPL-3.0-or-later in the machine-readable format"
  else
    fail "$copyright is missing or does not name GPL-3.0-or-later in the machine-readable format"
  fi
  if [ -f "$changelog" ] && zcat "$changelog" | head -n 1 | grep -q "^kestrelund ($2) "; then
    pass "changelog.gz starts with version $2"
  else
    fail "$changelog is missing or does not start with version $2"
  fi
}

# check_version PROGRAM VERSION: PROGRAM --version prints its name and VERSION.
check_version() {
  local out
  out=$("$1" --version 2>&1) || true
  if [ "$out" = "kestrelund-info $2" ]; then
    pass "kestrelund-info --version: $out"
  else
    fail "kestrelund-info --version printed '$out', not 'kestrelund-info $2'"
  fi
}

# finish_checks WHAT: exits 1 when a check failed, else says that all WHAT checks passed.
finish_checks() {
  if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
  fi
  echo "all $1 checks passed"
}
