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

# finish_checks WHAT: exits 1 when a check failed, else says that all WHAT checks passed.
finish_checks() {
  if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
  fi
  echo "all $1 checks passed"
}
