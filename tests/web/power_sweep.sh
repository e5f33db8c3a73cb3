#!/usr/bin/env bash
# The fast powers near their margin in the page's WebAssembly, under node
# (tests/web/power_sweep.cpp), over 10^8 distances unless told otherwise.
# Skipped (77) where the browser edition has not been built: ./build.sh web.
#   tests/web/power_sweep.sh BUILD_WEB [count]
set -euo pipefail
sweep=$1/tessaly_power_sweep.js
if [ ! -f "$sweep" ] || ! command -v node >/dev/null; then
  echo "$sweep not built (./build.sh web): skipped"
  exit 77
fi
exec node "$sweep" "${2:-100000000}"
