#!/usr/bin/env bash
# The browser edition's tests: the node command line against the desktop's
# batch run, the field rules, the seed of every run and the observation
# panel's figures through the compiled module, and the page in headless
# Chromium.
#   tests/web/run.sh DESKTOP_TESSALY BUILD_WEB
set -euo pipefail
here=$(dirname "$0")
desktop=$1
web=$2
echo "== The same trajectories from node and the desktop"
"$here"/xyz_equal_test.sh "$desktop" "$web"/tessaly.js
echo "== The field rules through the module"
node "$here"/fields_test.mjs "$web"/site/tessaly_web.js
echo "== The seed of every run through the module"
node "$here"/seed_test.mjs "$desktop" "$web"/site/tessaly_web.js
echo "== The observation panel's figures through the module"
node "$here"/observe_test.mjs "$desktop" "$web"/site/tessaly_web.js
echo "== The page's record of the table"
node "$here"/record_test.mjs "$web"/site
echo "== The page's states bit-identical with one worker and with several"
node "$here"/threads_test.mjs "$web"/site/tessaly_web.js "$web"/site/tessaly_web_threads.js
echo "== The page in headless Chromium"
/usr/bin/python3 "$here"/page_test.py "$web"/site "$web"/page.png
