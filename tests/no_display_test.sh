#!/usr/bin/env bash
# Without a display the program says in one line how to run it and exits
# with a failure status, instead of aborting inside Qt.
set -u
program=$1
output=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program" 2>&1)
status=$?
fail() { echo "FAIL: $*"; echo "output: $output"; exit 1; }
[ "$status" -ne 0 ] || fail "exit status 0"
[ "$(printf '%s\n' "$output" | wc -l)" -eq 1 ] || fail "more than one line"
case "$output" in
  *"xvfb-run $program"*) ;;
  *) fail "no hint how to run it" ;;
esac
echo "ok: $output"
