#!/usr/bin/env bash
# Set up, build, and run the program or its tests on Debian 12.
#   ./build.sh run    install what is missing, build, start the program
#   ./build.sh test   install what is missing, build, run the whole test suite
#   ./build.sh bench  build and run the benchmarks (Release build)
set -euo pipefail
cd "$(dirname "$0")"

mode=${1:-}
case "$mode" in
  run|test|bench) ;;
  *) echo "usage: $0 run|test|bench" >&2; exit 2 ;;
esac

packages=(g++ make cmake libgtest-dev libgmock-dev libbenchmark-dev)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

jobs=$(nproc 2>/dev/null || echo 2)
build=build
type=RelWithDebInfo
[ "$mode" = bench ] && { build=build-release; type=Release; }

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE="$type" >/dev/null
cmake --build "$build" -j "$jobs"

case "$mode" in
  run)
    echo "The simulation model is built; the window comes next."
    ;;
  test)
    ctest --test-dir "$build" --output-on-failure -j "$jobs"
    ;;
  bench)
    "$build"/bench/tessaly_model_bench
    ;;
esac
