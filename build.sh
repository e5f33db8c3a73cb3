#!/usr/bin/env bash
# Set up, build, and run the program or its tests on Debian 12.
#   ./build.sh run    install what is missing, build the program alone, start it
#   ./build.sh test   install what is missing, build the program and its tests,
#                     run the whole test suite
#   ./build.sh bench  build the benchmarks alone and run them (Release build)
#   ./build.sh sanitize   build with AddressSanitizer and UndefinedBehavior-
#                         Sanitizer in build-asan/ and run the whole test suite
#   ./build.sh tsan       build with ThreadSanitizer in build-tsan/ and run the
#                         whole test suite (on one OpenMP thread)
#   ./build.sh fuzz [s]   build the number-reading fuzzer with clang and run it
#                         for s seconds (default 60)
#   ./build.sh package    build the Debian package in build-package/ with
#                         Debian's compiler flags; prints the package's path
#   ./build.sh web        build the browser edition in build-web/ (WebAssembly,
#                         emscripten); prints the path of the site
#   ./build.sh serve [port]   build it and serve the site on 127.0.0.1
#                             (port 8000 unless given)
set -euo pipefail
cd "$(dirname "$0")"

mode=${1:-}
case "$mode" in
  run|test|bench|sanitize|tsan|fuzz|package|web|serve) ;;
  *) echo "usage: $0 run|test|bench|sanitize|tsan|fuzz [seconds]|package|web|serve [port]" >&2
     exit 2 ;;
esac

# The package's or the site's path is all that goes to standard output; the
# rest of what the build says goes to standard error.
if [ "$mode" = package ] || [ "$mode" = web ]; then
  exec 3>&1 1>&2
fi

# The browser edition: emscripten and node, and npm for the QR code's
# library (pinned in web/package-lock.json); its tests drive the page in
# Chromium, WebKitGTK (under a virtual display) and Firefox, whose captions
# need a Japanese font, and read its QR code back with zbarimg.
web_packages=(emscripten nodejs make cmake python3-markdown)
# A node from elsewhere (NodeSource's, say) brings its own npm and refuses
# Debian's: Debian's is installed only where there is none.
command -v npm >/dev/null 2>&1 || web_packages+=(npm)
web_test_packages=(chromium chromium-driver python3-selenium webkit2gtk-driver firefox-esr python3-websockets
  xvfb xauth fonts-ipafont-gothic zbar-tools)

# Builds the browser edition in build-web/. Debian's emscripten works from
# its prebuilt library cache; its linker finds node's modules (acorn) only
# under NODE_PATH.
build_web() {
  export NODE_PATH=/usr/share/nodejs
  emcmake cmake -S . -B build-web -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
  cmake --build build-web -j "$jobs"
}

if [ "$mode" = web ] || [ "$mode" = serve ]; then
  extra=()
  [ "$mode" = serve ] && extra=(python3)
  scripts/install-packages.sh "${web_packages[@]}" "${extra[@]}"
  jobs=$(nproc 2>/dev/null || echo 2)
  build_web
  if [ "$mode" = web ]; then
    echo "$PWD/build-web/site" >&3
    exit 0
  fi
  port=${2:-8000}
  echo "Tessaly on http://127.0.0.1:$port/ (Ctrl-C stops it)"
  exec /usr/bin/python3 scripts/serve_site.py build-web/site "$port"
fi

packages=(g++ make cmake pkg-config libgtest-dev libgmock-dev libbenchmark-dev)
# The teacher's guide is made from Markdown at build time.
packages+=(python3-markdown)
# The window: Qt Widgets, a font with Japanese glyphs for the captions, and
# xvfb-run for starting it where there is no screen.
packages+=(qt6-base-dev fonts-noto-cjk xvfb xauth)
# The observation window's plots; Qt Charts' CMake files need Qt OpenGL's.
packages+=(qt6-charts-dev libqt6opengl6-dev)
# Checking for a display before the window opens.
packages+=(libxcb1-dev)
# The test that reads a trajectory with ASE; the guide's numbers (numpy) and
# its sweep (GNU parallel); scripts/guide-figures draws with matplotlib.
[ "$mode" = test ] && packages+=(python3-ase python3-numpy parallel python3-matplotlib
  "${web_packages[@]}" "${web_test_packages[@]}")
[ "$mode" = fuzz ] && packages+=(clang libclang-rt-14-dev)
# Debian's compiler flags and dpkg-shlibdeps, which works out the dependencies.
[ "$mode" = package ] && packages+=(dpkg-dev)

scripts/install-packages.sh "${packages[@]}"

jobs=$(nproc 2>/dev/null || echo 2)

if [ "$mode" = fuzz ]; then
  exec scripts/fuzz.sh "${2:-60}"
fi

# Each mode builds with one of the presets in CMakePresets.json.
case "$mode" in
  bench) preset=release; build=build-release ;;
  sanitize) preset=asan; build=build-asan ;;
  package) preset=package; build=build-package ;;
  tsan) preset=tsan; build=build-tsan ;;
  *) preset=default; build=build ;;
esac
if [ "$mode" = package ]; then
  # The package is built with Debian's own compiler flags, hardening included.
  export DEB_BUILD_MAINT_OPTIONS=hardening=+all
  TESSALY_DEB_CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
  TESSALY_DEB_LDFLAGS=$(dpkg-buildflags --get LDFLAGS)
  export TESSALY_DEB_CXXFLAGS TESSALY_DEB_LDFLAGS
fi
scripts/configure.sh "$preset"
# Each mode builds what it runs: the program alone for run, the benchmarks
# for bench, everything for the rest.
case "$mode" in
  run) targets=(--target tessaly) ;;
  bench) targets=(--target tessaly_model_bench tessaly_ui_bench) ;;
  *) targets=() ;;
esac
cmake --build "$build" -j "$jobs" "${targets[@]}"

case "$mode" in
  run)
    exec "$build"/app/tessaly
    ;;
  test|sanitize|tsan)
    # The long sweep of the fast powers runs on its own: ctest -L long.
    ctest --test-dir "$build" --output-on-failure -j "$jobs" -LE long
    if [ "$mode" = test ]; then
      build_web
      tests/web/run.sh "$build"/app/tessaly build-web
    fi
    ;;
  bench)
    "$build"/bench/tessaly_model_bench
    "$build"/bench/tessaly_ui_bench
    ;;
  package)
    rm -rf "$build/packages"
    (cd "$build" && cpack -G DEB >/dev/null)
    deb=("$PWD/$build"/packages/*.deb)
    [ ${#deb[@]} -eq 1 ] && [ -f "${deb[0]}" ] || { echo "cpack made no single package" >&2; exit 1; }
    echo "${deb[0]}" >&3
    ;;
esac
