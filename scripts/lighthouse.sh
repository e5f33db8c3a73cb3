#!/usr/bin/env bash
# Audits the served page with Lighthouse, as docs/browser.md reports it: the
# site served by scripts/serve_site.py, Debian's Chromium, the mobile preset
# and the desktop preset, RUNS times each; prints the four scores of every run.
#   scripts/lighthouse.sh [RUNS] [SITE_DIR]      (3 and build-web/site unless given)
# Lighthouse, at the version below, is installed with npm into a folder of
# its own outside the repository (LIGHTHOUSE_DIR, ~/.cache/tessaly-lighthouse
# unless set) the first time. It needs node 18.20 or later.
set -euo pipefail
cd "$(dirname "$0")/.."

version=12.8.2
runs=${1:-3}
site=${2:-build-web/site}
dir=${LIGHTHOUSE_DIR:-$HOME/.cache/tessaly-lighthouse}
lighthouse=$dir/node_modules/.bin/lighthouse

if [ ! -x "$lighthouse" ] || [ "$("$lighthouse" --version)" != "$version" ]; then
  mkdir -p "$dir"
  npm install --prefix "$dir" --no-audit --no-fund --loglevel=error "lighthouse@$version" >&2
fi
[ -f "$site/index.html" ] || { echo "no site in $site: ./build.sh web first" >&2; exit 1; }

port=$(/usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
/usr/bin/python3 scripts/serve_site.py "$site" "$port" &
server=$!
out=$(mktemp -d)
trap 'kill "$server"; rm -rf "$out"' EXIT
sleep 1

echo "Lighthouse $version, http://127.0.0.1:$port/ ($site)"
printf '%-4s %-8s %12s %14s %15s %5s   %s\n' run preset performance accessibility best-practices seo \
  'FCP, LCP, TBT (ms)'
for run in $(seq "$runs"); do
  for preset in mobile desktop; do
    flags=()
    [ "$preset" = desktop ] && flags=(--preset=desktop)
    CHROME_PATH=${CHROME_PATH:-/usr/bin/chromium} "$lighthouse" "http://127.0.0.1:$port/" "${flags[@]}" \
      --chrome-flags="--headless=new --no-sandbox" --output=json --output-path="$out/$run-$preset.json" \
      --quiet
    /usr/bin/python3 - "$out/$run-$preset.json" "$run" "$preset" <<'EOF'
import json, sys
report = json.load(open(sys.argv[1]))
score = {key: category["score"] for key, category in report["categories"].items()}
ms = [round(report["audits"][key]["numericValue"]) for key in
      ("first-contentful-paint", "largest-contentful-paint", "total-blocking-time")]
print(f"{sys.argv[2]:<4} {sys.argv[3]:<8} {score['performance']:>12} {score['accessibility']:>14}"
      f" {score['best-practices']:>15} {score['seo']:>5}   {ms[0]}, {ms[1]}, {ms[2]}")
EOF
  done
done
