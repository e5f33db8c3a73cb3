#!/usr/bin/env bash
# The guide's sweep, short: with GNU parallel it writes one table per run, and
# as a Slurm job array each task writes the one its SLURM_ARRAY_TASK_ID names,
# the same bytes; a task beyond the last is refused.
#   guide_sweep_test.sh TESSALY
set -euo pipefail
export TESSALY=$1 COUNTS="2 10 40" SEEDS="3 4" STEPS=120
sweep=$(dirname "$0")/../scripts/guide-sweep
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

JOBS=2 "$sweep" "$work/parallel"
expected="n10-s3.csv n10-s4.csv n2-s3.csv n2-s4.csv n40-s3.csv n40-s4.csv"
[ "$(cd "$work/parallel" && echo *)" = "$expected" ] || fail "parallel wrote $(ls "$work/parallel")"
"$TESSALY" --batch --count 10 --time-step 0.1 --seed 4 --steps 120 --every 10 --thermo "$work/one.csv"
cmp "$work/one.csv" "$work/parallel/n10-s4.csv" || fail "a sweep's run is not the batch run"
[ "$(wc -l <"$work/parallel/n40-s3.csv")" -eq 14 ] || fail "not every tenth of 120 steps"

# Task i: count i / 2, seed i % 2.
for task in 0 3 5; do
  SLURM_ARRAY_TASK_ID=$task "$sweep" "$work/array-$task"
done
for pair in "0 n2-s3.csv" "3 n10-s4.csv" "5 n40-s4.csv"; do
  set -- $pair
  [ "$(ls "$work/array-$1")" = "$2" ] || fail "task $1 wrote $(ls "$work/array-$1")"
  cmp "$work/array-$1/$2" "$work/parallel/$2" || fail "task $1 differs from the parallel run"
done
for task in 6 x; do
  if SLURM_ARRAY_TASK_ID=$task "$sweep" "$work/array-bad" 2>"$work/err"; then
    fail "task $task ran"
  fi
  grep -q "no task $task: there are 6" "$work/err" || fail "task $task: $(cat "$work/err")"
done
echo "the sweep runs with parallel and as a job array"
