#!/usr/bin/env bash
# Configures one of the builds in CMakePresets.json: quiet when it works, the
# whole of CMake's output when it does not.
#   scripts/configure.sh PRESET
set -euo pipefail
cd "$(dirname "$0")/.."
preset=$1
log=$(mktemp)
trap 'rm -f "$log"' EXIT
if ! cmake --preset "$preset" >"$log" 2>&1; then
  cat "$log" >&2
  echo "configuring the $preset build failed" >&2
  exit 1
fi
