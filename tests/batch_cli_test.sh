#!/usr/bin/env bash
# The program as a command-line tool, with no display anywhere: --help,
# --version, batch runs to their files, every kind of option it must refuse (one
# line, status 2, no file), failures during the run, Ctrl-C and SIGTERM, and
# the progress line on a terminal.
#   batch_cli_test.sh PROGRAM VERSION
set -u
program=$1
version=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# run ARGS...: sets status, out, err.
run() {
  "$program" "$@" >"$work/out" 2>"$work/err"
  status=$?
  out=$(cat "$work/out")
  err=$(cat "$work/err")
}

# The frames of an XYZ file, or "broken" if it does not end on a whole frame.
frames() {
  awk '
    state == 0 { n = $1 + 0; if ($0 != n "") { print "broken"; exit } state = 1; next }
    state == 1 { if ($0 !~ /^Lattice=.* step=[0-9]+ time=/) { print "broken"; exit }
                 left = n; state = (n > 0 ? 2 : 0); count++; next }
    state == 2 { if (NF != 7 || $1 != "Ar") { print "broken"; exit }
                 if (--left == 0) state = 0; next }
    END { if (state != 0) print "broken"; else print count + 0 }' "$1"
}

# --- Help and version, without a display ---
run --version
[ "$status" -eq 0 ] && [ "$out" = "tessaly $version" ] || fail "--version: status $status, '$out'"
run --help
[ "$status" -eq 0 ] || fail "--help: status $status"
for word in --seed --observe --period --run --batch --count --time-step --steps --every --xyz \
  --thermo; do
  case "$out" in *"$word"*) ;; *) fail "--help does not mention $word" ;; esac
done

# --- A batch run ---
batch=(--batch --count 25 --time-step 0.1 --steps 30 --every 5)
run "${batch[@]}" --seed 4 --xyz "$work/a.xyz"
[ "$status" -eq 0 ] || fail "batch run: status $status: $err"
[ -z "$err" ] || fail "batch run printed to a non-terminal standard error: $err"
[ "$(frames "$work/a.xyz")" = 7 ] || fail "batch run: $(frames "$work/a.xyz") frames, want 7"
run "${batch[@]}" --seed 4 --xyz "$work/b.xyz"
cmp -s "$work/a.xyz" "$work/b.xyz" || fail "one seed gave two different files"
run "${batch[@]}" --seed 5 --xyz "$work/c.xyz"
cmp -s "$work/a.xyz" "$work/c.xyz" && fail "two seeds gave the same file"

# --- The table of energies, alone or beside the trajectory ---
run "${batch[@]}" --seed 4 --thermo "$work/a.csv"
[ "$status" -eq 0 ] || fail "table alone: status $status: $err"
[ "$(head -n 1 "$work/a.csv")" = "step,time,kinetic,potential,temperature,wall_pressure" ] ||
  fail "table: header $(head -n 1 "$work/a.csv")"
[ "$(cut -d, -f1 "$work/a.csv" | tail -n +2 | tr '\n' ' ')" = "0 5 10 15 20 25 30 " ] ||
  fail "table: rows for steps $(cut -d, -f1 "$work/a.csv" | tr '\n' ' ')"
[ "$(sed -n 2p "$work/a.csv" | cut -d, -f6)" = 0 ] || fail "table: step 0 has wall pressure"
run "${batch[@]}" --seed 4 --xyz "$work/d.xyz" --thermo "$work/d.csv"
[ "$status" -eq 0 ] || fail "table and trajectory: status $status: $err"
cmp -s "$work/a.csv" "$work/d.csv" || fail "the table beside the trajectory differs"
cmp -s "$work/a.xyz" "$work/d.xyz" || fail "the trajectory beside the table differs"

# --- Options that cannot be used: one line, status 2, nothing written ---
touch "$work/plain"
refuse() {  # refuse WHAT TARGET ARGS...
  local what=$1 target=$2
  shift 2
  run "$@"
  [ "$status" -eq 2 ] || fail "$what: status $status, want 2"
  [ "$(printf '%s\n' "$err" | wc -l)" -eq 1 ] && [[ "$err" == "tessaly: "* ]] ||
    fail "$what: not one line: $err"
  [ -z "$out" ] || fail "$what: printed to standard output: $out"
  [ ! -e "$target" ] || fail "$what: created $target"
  echo "ok: $what: $err"
}
x="$work/refused.xyz"
refuse "count with text" "$x" --batch --count 25abc --time-step 0.1 --steps 1 --xyz "$x"
refuse "time step nan" "$x" --batch --count 5 --time-step nan --steps 1 --xyz "$x"
refuse "every zero" "$x" --batch --count 5 --time-step 0.1 --steps 1 --every 0 --xyz "$x"
refuse "seed too large" "$x" --batch --count 5 --time-step 0.1 --steps 1 \
  --seed 18446744073709551616 --xyz "$x"
refuse "seed of the window" "$x" --seed x
refuse "a period for the batch run" "$x" --batch --count 5 --time-step 0.1 --steps 1 \
  --period 20 --xyz "$x"
refuse "run for the batch run" "$x" --batch --count 5 --time-step 0.1 --steps 1 --run --xyz "$x"
refuse "missing options" "$x" --batch --count 5 --xyz "$x"
refuse "unknown option" "$x" --batch --count 5 --time-step 0.1 --steps 1 --xyz "$x" --fast
refuse "a directory" "$x" --batch --count 5 --time-step 0.1 --steps 1 --xyz "$work"
[ -d "$work" ] || fail "the directory is gone"
refuse "a missing folder" "$work/none" --batch --count 5 --time-step 0.1 --steps 1 \
  --xyz "$work/none/run.xyz"
refuse "under a plain file" "$work/plain/run.xyz" --batch --count 5 --time-step 0.1 \
  --steps 1 --xyz "$work/plain/run.xyz"
refuse "a table in a missing folder" "$x" --batch --count 5 --time-step 0.1 --steps 1 \
  --xyz "$x" --thermo "$work/none/run.csv"
refuse "a table file that is a directory" "$x" --batch --count 5 --time-step 0.1 --steps 1 \
  --thermo "$work" --xyz "$x"
refuse "a table where the trajectory goes" "$x" --batch --count 5 --time-step 0.1 --steps 1 \
  --xyz "$x" --thermo "$work/../$(basename "$work")/refused.xyz"
printf 'an older trajectory\n' >"$work/old.xyz"
run --batch --count 5 --time-step 0.1 --steps 1 --xyz "$work/old.xyz" --thermo "$work/none/t.csv"
[ "$status" -eq 2 ] && [ "$(cat "$work/old.xyz")" = "an older trajectory" ] ||
  fail "a refused table emptied the trajectory file there before: status $status"
if [ "$(id -u)" -ne 0 ]; then  # root may write anywhere
  mkdir "$work/locked" && chmod a-w "$work/locked"
  refuse "an unwritable folder" "$work/locked/run.xyz" --batch --count 5 --time-step 0.1 \
    --steps 1 --xyz "$work/locked/run.xyz"
fi

# --- Failures during the run: status 1, one line, complete frames kept ---
run --batch --count 10 --time-step 1e300 --steps 5 --seed 1 --xyz "$work/overflow.xyz"
[ "$status" -eq 1 ] || fail "overflow: status $status, want 1"
[[ "$err" == "tessaly: step 1 failed: overflow; "*"holds the frames up to step 0" ]] ||
  fail "overflow: $err"
[ "$(frames "$work/overflow.xyz")" = 1 ] || fail "overflow: the initial frame is not kept whole"
if [ -w /dev/full ]; then
  run --batch --count 10 --time-step 0.1 --steps 5 --xyz /dev/full
  [ "$status" -eq 1 ] && [[ "$err" == *"No space left on device" ]] ||
    fail "full disk: status $status: $err"
fi

# --- Interrupted: the file keeps its complete frames only ---
for signal in INT TERM; do
  "$program" --batch --count 100 --time-step 0.01 --steps 100000000 --every 20 \
    --xyz "$work/long.xyz" 2>"$work/err" &
  pid=$!
  sleep 1.5
  kill -s "$signal" "$pid"
  wait "$pid"
  status=$?
  want=$((128 + $(kill -l "$signal")))
  [ "$status" -eq "$want" ] || fail "SIG$signal: status $status, want $want"
  grep -q "^tessaly: interrupted after step [0-9]*; .* holds the frames up to step" "$work/err" ||
    fail "SIG$signal: $(cat "$work/err")"
  count=$(frames "$work/long.xyz")
  [ "$count" != broken ] && [ "$count" -ge 1 ] || fail "SIG$signal: frames: $count"
  echo "ok: SIG$signal after $count frames: $(cat "$work/err")"
done

# --- Progress, on a terminal only, once the run has taken a second ---
long=(--batch --count 100 --time-step 0.01 --steps 100000000 --every 1000 --xyz "$work/p.xyz")
if command -v script >/dev/null; then
  script -qec "$(printf '%q ' timeout -s INT 2.5 "$program" "${long[@]}")" /dev/null \
    >"$work/tty" </dev/null
  grep -q "tessaly: step [0-9]* of 100000000, [0-9.]* steps/s, .* left" "$work/tty" ||
    fail "no progress on a terminal: $(tr '\r' '\n' <"$work/tty" | tail -n 3)"
fi
timeout -s INT 2.5 "$program" "${long[@]}" 2>"$work/err"
grep -q "steps/s" "$work/err" && fail "progress on a non-terminal: $(cat "$work/err")"

[ "$failures" -eq 0 ] || exit 1
echo "all command-line checks passed"
