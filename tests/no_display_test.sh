#!/usr/bin/env bash
# Without a display, or with one that does not answer, the program says in
# one line how to run it and exits with status 2, instead of aborting inside
# Qt; with one that answers, the window opens.
set -u
program=$1
failures=0

check() {  # check WHAT ENV-ARGS...
  local what=$1
  shift
  local output status
  output=$(env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$@" "$program" 2>&1)
  status=$?
  local problem=""
  [ "$status" -eq 2 ] || problem="exit status $status, want 2"
  [ "$(printf '%s\n' "$output" | wc -l)" -eq 1 ] || problem="more than one line"
  case "$output" in
    *"xvfb-run $program"*) ;;
    *) problem="no hint how to run it" ;;
  esac
  if [ -n "$problem" ]; then
    echo "FAIL: $what: $problem"
    echo "output: $output"
    failures=$((failures + 1))
  else
    echo "ok: $what: $output"
  fi
}

check "no display set" -u DISPLAY

# A display number with no server: no socket and no lock file for it.
number=4711
while [ -e "/tmp/.X11-unix/X$number" ] || [ -e "/tmp/.X$number-lock" ]; do
  number=$((number + 1))
done
check "DISPLAY=:$number with nothing there" DISPLAY=":$number"
check "QT_QPA_PLATFORM=xcb with nothing there" DISPLAY=":$number" QT_QPA_PLATFORM=xcb

# A display that answers, authentication included: the window opens and is
# still there three seconds later.
if command -v xvfb-run >/dev/null; then
  output=$(xvfb-run -a env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM timeout 3 "$program" 2>&1)
  status=$?
  if [ "$status" -eq 124 ]; then
    echo "ok: under xvfb-run the window stays open"
  else
    echo "FAIL: under xvfb-run: exit status $status, want 124 (still running): $output"
    failures=$((failures + 1))
  fi
fi

[ "$failures" -eq 0 ]
