#!/usr/bin/env bash
# The browser edition's tests: the node command lines (with WebAssembly SIMD
# and without) against the desktop's batch run, the modules without SIMD
# instructions, the field rules, the seed of every run and the observation
# panel's figures through both page modules, the fast
# powers near their margin, one worker against several, and the page in
# Chromium, WebKitGTK and Firefox.
#   tests/web/run.sh DESKTOP_TESSALY BUILD_WEB
set -euo pipefail
here=$(dirname "$0")
desktop=$1
web=$2
echo "== The same trajectories from node and the desktop"
"$here"/xyz_equal_test.sh "$desktop" "$web"/tessaly.js "$web"/tessaly_scalar.js
echo "== The site laid out by build"
/usr/bin/python3 "$here"/assemble_site_test.py
echo "== SIMD only where it is meant to be"
node "$here"/simd_test.mjs "$web"
for module in tessaly_web.js tessaly_web_scalar.js; do
  echo "== The field rules through $module"
  node "$here"/fields_test.mjs "$web"/site-files/$module
  echo "== The seed of every run through $module"
  node "$here"/seed_test.mjs "$desktop" "$web"/site-files/$module
  echo "== The observation panel's figures through $module"
  node "$here"/observe_test.mjs "$desktop" "$web"/site-files/$module
done
echo "== The fast powers near their margin in the module (ctest -L long runs 10^8)"
"$here"/power_sweep.sh "$web" 1000000
echo "== The page's states bit-identical with one worker and with several"
node "$here"/threads_test.mjs "$web"/site-files/tessaly_web.js "$web"/site-files/tessaly_web_threads.js
echo "== The page in Chromium, WebKitGTK and Firefox"
xvfb-run -a /usr/bin/python3 "$here"/page_test.py "$web"/site "$web"/page
