#!/usr/bin/env bash
# Smoke test of the receiver cost meter: counts a guest program whose
# instruction count is known exactly, then short tapsim sessions of the
# receiver build under qemu-user on a 10-logo disk.  Skipped (77) when there
# is no receiver build.
# usage: smoke.sh METER.so RECEIVER-BUILD-DIR
set -u
meter=$1
tapsim=$2/bin/tapsim
plugin=$2/bin/Velumo.so
if [ ! -x "$tapsim" ] || [ ! -f "$plugin" ]; then
  echo "no receiver build in $2: skipped"
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
. "$(dirname "$0")/disk.sh"
make_disk "$work/template" 10 0
rc=0
err=
failures=0

measure() { # measure NAME SCRIPT-TEXT [meter arguments]; sets rc, err, n
  local name=$1 text=$2 args=${3:-}
  rm -rf "$work/disk" "$work/$name.count"
  cp -a "$work/template" "$work/disk"
  # One script path for all: its length is part of what the guest executes.
  printf '%s\n' "$text" >"$work/script.tsim"
  env -i PATH="$PATH" qemu-mipsel -L /usr/mipsel-linux-gnu \
    -plugin "$meter,out=$work/$name.count$args" "$tapsim" --disk "$work/disk" \
    --script "$work/script.tsim" --clock "2012-02-17 09:05:30" "$plugin" >/dev/null 2>"$work/$name.err"
  rc=$?
  err=$(cat "$work/$name.err")
  n=$(sed -n 's/^instructions \([0-9][0-9]*\)$/\1/p' "$work/$name.count" 2>/dev/null)
}

check() { # check DESCRIPTION COMMAND...
  local what=$1
  shift
  "$@" && return
  failures=$((failures + 1))
  echo "FAILED: $what (exit code $rc; stderr: $err)"
}

# Exact counts: a program without C library, built here for the receiver.
mipsel-linux-gnu-gcc -nostdlib -static -Wl,-e,__start "$(dirname "$0")/exact.S" -o "$work/exact"
for d in 1 4; do
  rm -f "$work/exact.count"
  qemu-mipsel -plugin "$meter,out=$work/exact.count" "$work/exact" "$d" 2>"$work/exact.err"
  rc=$?
  err=$(cat "$work/exact.err")
  check "exact count for $d" test "$(cat "$work/exact.count" 2>/dev/null)" = "instructions $((8 + 3000 * d))"
done

measure idle $'idle\nstop'
idle=$n
check "session runs under the meter" test "$rc" = 0
# A start of the plug-in on ten logos is tens of millions of instructions:
# far more than qemu's own start-up, far fewer than a runaway count.
check "count is plausible: ${idle:-none}" test "${idle:-0}" -gt 10000000 -a "${idle:-0}" -lt 1000000000

measure down $'idle\nkey Down\nstop'
down=$n
check "session with a key runs" test "$rc" = 0
check "a key adds work: ${idle:-none} then ${down:-none}" test "${down:-0}" -gt "${idle:-0}"

# The same session again gives the same count, give or take a few hundred
# instructions: tapsim's network terminal passes through temporary files, and
# the C library draws their random names (mkstemp) in a varying number of
# steps.
measure again $'idle\nkey Down\nstop'
check "same session, same count: ${down:-none} and ${n:-none}" \
  test -n "$n" -a "$(((${n:-0} - ${down:-0}) * 10000 / ${down:-1}))" = 0

measure bad $'idle\nstop' ",colour=red"
check "an unknown meter argument stops qemu" test "$rc" != 0
check "and is named" grep -q "unknown argument 'colour=red'" "$work/bad.err"
check "and writes no count" test ! -e "$work/bad.count"

echo "meter smoke: $failures failed"
[ "$failures" = 0 ]
