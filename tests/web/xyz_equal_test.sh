#!/usr/bin/env bash
# Each node command line (with SIMD and without) writes, byte for byte, the
# trajectory and the table of energies that the desktop's batch run writes
# where glibc uses its plain pow (the tunable below switches off the FMA build
# it picks by itself on such processors).
#   tests/web/xyz_equal_test.sh DESKTOP_TESSALY NODE_TESSALY_JS...
set -euo pipefail
desktop=$1
shift
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
failed=0
# count time-step steps seed every
while read -r count dt steps seed every; do
  args=(--batch --count "$count" --time-step "$dt" --steps "$steps" --seed "$seed" --every "$every")
  GLIBC_TUNABLES=glibc.cpu.hwcaps=-FMA,-AVX2 "$desktop" "${args[@]}" --xyz "$out/desktop.xyz" \
    --thermo "$out/desktop.csv"
  for web in "$@"; do
    rm -f "$out/web.xyz" "$out/web.csv"  # nothing left from the command line before
    node "$web" "${args[@]}" --xyz "$out/web.xyz" --thermo "$out/web.csv"
    if cmp -s "$out/desktop.xyz" "$out/web.xyz" && cmp -s "$out/desktop.csv" "$out/web.csv"; then
      echo "same ($(basename "$web")): ${args[*]}"
    else
      echo "DIFFERENT ($(basename "$web")): ${args[*]}"
      cmp "$out/desktop.xyz" "$out/web.xyz" || true
      cmp "$out/desktop.csv" "$out/web.csv" || true
      failed=1
    fi
  done
done <<'CASES'
40 0.1 300 7 1
40 0.01 200 1 10
2 0.5 100 3 1
1 0.1 10 4 1
0 0.1 5 5 1
100 0.05 100 11 5
500 0.1 20 12345 2
1000 0.1 5 18446744073709551615 1
CASES
# An arithmetic error ends both with status 1 and the same frames.
args=(--batch --count 40 --time-step 1e300 --steps 5 --seed 7)
set +e
GLIBC_TUNABLES=glibc.cpu.hwcaps=-FMA,-AVX2 "$desktop" "${args[@]}" --xyz "$out/desktop.xyz" 2>/dev/null
desktop_status=$?
set -e
for web in "$@"; do
  rm -f "$out/web.xyz"
  set +e
  node "$web" "${args[@]}" --xyz "$out/web.xyz" 2>/dev/null
  web_status=$?
  set -e
  if cmp -s "$out/desktop.xyz" "$out/web.xyz" && [ "$desktop_status" = 1 ] && [ "$web_status" = 1 ]; then
    echo "same ($(basename "$web")): an overflowing time step, status 1"
  else
    echo "DIFFERENT ($(basename "$web")): an overflowing time step (status $desktop_status and $web_status)"
    failed=1
  fi
done
# Lines the option rules refuse: the same line and status from both.
while read -r line; do
  # shellcheck disable=SC2086
  d=$("$desktop" $line 2>&1 >/dev/null; echo "status $?")
  for web in "$@"; do
    # shellcheck disable=SC2086
    w=$(node "$web" $line 2>&1 >/dev/null; echo "status $?")
    if [ "$d" = "$w" ]; then
      echo "same ($(basename "$web")): $line -> $(echo $d)"
    else
      echo "DIFFERENT ($(basename "$web")): $line -> desktop '$d', node '$w'"
      failed=1
    fi
  done
done <<'REFUSED'
--batch --count 40x --time-step 0.1 --steps 1 --xyz none.xyz
--batch --count 32768 --time-step 0.1 --steps 1 --xyz none.xyz
--batch --count 4 --time-step inf --steps 1 --xyz none.xyz
--batch --count 4 --time-step 0.1 --steps -1 --xyz none.xyz
--batch --count 4 --time-step 0.1 --steps 1 --every 0 --xyz none.xyz
--batch --count 4 --time-step 0.1 --steps 1 --seed 18446744073709551616 --xyz none.xyz
--batch --count 4
--batch --count 4 --count 5 --time-step 0.1 --steps 1 --xyz none.xyz
--batch --count 4 --time-step 0.1 --steps 1
--batch --count 4 --time-step 0.1 --steps 1 --thermo none.csv --observe
--thermo none.csv
--batch --count 4 --time-step 0.1 --steps 1 --xyz none.xyz --period 20
--batch --count 4 --time-step 0.1 --steps 1 --xyz none.xyz --run
--count 4 --every 2
REFUSED
# The desktop fills its window's fields from --count and --time-step; node has
# no window, and needs --batch for them.
# Each line: the option named, then the arguments.
while read -r expected line; do
  # shellcheck disable=SC2086
  w=$(node "$web" $line 2>&1 >/dev/null; echo "status $?")
  if [ "$w" = "tessaly: $expected needs --batch
status 2" ]; then
    echo "node refuses: $line"
  else
    echo "NOT REFUSED by node: $line -> '$w'"
    failed=1
  fi
done <<'NODE_ONLY'
--count --count 4
--time-step --time-step 0.1 --seed 7
--count --count 4 --time-step 0.1 --period 20 --run
NODE_ONLY
exit $failed
