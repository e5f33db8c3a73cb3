#!/usr/bin/env bash
# Makes docs/screenshot.png: the window on a virtual screen, after 実行 has run
# the default simulation for a moment and 停止 has frozen it. With "observe",
# makes docs/observe.png instead: the observation window beside a run of 400
# particles, a few seconds in. With "page", makes docs/page-chromium.png,
# page-webkit.png and page-firefox.png: the page (build-web/site) in each
# engine at 1280 x 800, its panel shown. With "guide", draws the guide's
# figures (guide/figures/) from the program's batch runs.
#   scripts/screenshot.sh [observe|page|guide] [program]   (default build/app/tessaly)
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" = page ]; then
  [ -f build-web/site/index.html ] || { echo "build the page first: ./build.sh web" >&2; exit 1; }
  scripts/install-packages.sh xvfb xauth chromium chromium-driver python3-selenium \
    webkit2gtk-driver firefox-esr python3-websockets fonts-ipafont-gothic
  mkdir -p docs
  exec xvfb-run -a -s "-screen 0 1400x900x24" /usr/bin/python3 scripts/page_screenshots.py \
    build-web/site docs
fi
if [ "${1:-}" = guide ]; then
  scripts/install-packages.sh python3-matplotlib parallel fonts-noto-cjk
  exec scripts/guide-figures --program "${2:-build/app/tessaly}"
fi

observe=false
if [ "${1:-}" = observe ]; then
  observe=true
  shift
fi
program=${1:-build/app/tessaly}
[ -x "$program" ] || { echo "build the program first: ./build.sh test" >&2; exit 1; }

scripts/install-packages.sh xvfb xauth xdotool imagemagick fonts-noto-cjk

mkdir -p docs
export PROGRAM=$program
if $observe; then
  xvfb-run -a -s "-screen 0 1400x700x24" bash -c '
    set -euo pipefail
    unset WAYLAND_DISPLAY QT_QPA_PLATFORM
    "$PROGRAM" --observe --seed 1 &
    pid=$!
    trap "kill $pid 2>/dev/null || true" EXIT
    window=$(xdotool search --sync --name "^Tessaly$" | head -n 1)
    observation=$(xdotool search --sync --name "^観測$" | head -n 1)
    sleep 0.5
    # 分子の数 at (384, 121): 400 particles, then 実行 at (360, 36) and 停止.
    xdotool mousemove --window "$window" 384 121 click --repeat 2 1
    xdotool key ctrl+a type 400
    xdotool mousemove --window "$window" 360 36 click 1
    sleep 6
    xdotool mousemove --window "$window" 360 68 click 1
    xdotool mousemove 1390 690
    sleep 0.5
    import -window "$observation" docs/observe.png
  '
  echo "wrote docs/observe.png"
  exit 0
fi
xvfb-run -a -s "-screen 0 640x400x24" bash -c '
  set -euo pipefail
  unset WAYLAND_DISPLAY QT_QPA_PLATFORM
  "$PROGRAM" &
  pid=$!
  trap "kill $pid 2>/dev/null || true" EXIT
  window=$(xdotool search --sync --name "^Tessaly$" | head -n 1)
  sleep 0.5
  # Button centres in window coordinates: 実行 at (360, 36), 停止 at (360, 68).
  xdotool mousemove --window "$window" 360 36 click 1
  sleep 1.5
  xdotool mousemove --window "$window" 360 68 click 1
  xdotool mousemove 600 380   # the pointer out of the picture
  sleep 0.3
  import -window root -crop "$(xdotool getwindowgeometry --shell "$window" |
    awk -F= "/WIDTH/{w=\$2} /HEIGHT/{h=\$2} /^X/{x=\$2} /^Y/{y=\$2} END{print w \"x\" h \"+\" x \"+\" y}")" \
    +repage docs/screenshot.png
'
echo "wrote docs/screenshot.png"
