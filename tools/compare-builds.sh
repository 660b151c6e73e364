#!/usr/bin/env bash
# Two native builds side by side, for changes that must not change what a
# user sees: the demo tour (every screenshot and both logs), sessions of
# random keys on the sample disk (screenshots, log and the disk afterwards),
# and logoconv on every sample logo into every target, stretched and fitted.
# Prints what differs; exits 0 only when nothing does.
# usage: compare-builds.sh OLD-BUILD NEW-BUILD [SESSIONS [KEYS]]
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
old=$(realpath "${1:?usage: compare-builds.sh OLD-BUILD NEW-BUILD [SESSIONS [KEYS]]}")
new=$(realpath "${2:?}")
sessions=${3:-20}
keys=${4:-300}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
differ=0
compared=0

same() { # WHAT A B: trees or files, byte for byte
  compared=$((compared + 1))
  # The disk carries the plug-in itself, which is what changed.
  if ! diff -r -x Velumo.so "$2" "$3" >"$work/diff" 2>&1; then
    echo "DIFFERENT: $1"
    head -5 "$work/diff"
    differ=$((differ + 1))
  fi
}

# The tour, as make demo runs it.
for b in old new; do
  build=${!b}
  bash "$top/tools/demo.sh" "$build" >/dev/null || { echo "FAILED: the demo of $build"; exit 1; }
  mkdir -p "$work/demo-$b"
  cp -r "$build/demo/shots" "$build"/demo/Velumo-*.log "$work/demo-$b/"
done
same "the demo tour" "$work/demo-old" "$work/demo-new"

# Random keys: every key of the remote but the exit key, a screenshot every
# 25 keys; the same script for both builds.
remote=(0 1 2 3 4 5 6 7 8 9 Recall Info Left Right Up Down V+ V- Ch+ Ch- OK Menu Exit Red Green
  Yellow Blue White Rewind Play Forward Prev Slow Next)
for ((s = 1; s <= sessions; s++)); do
  RANDOM=$s
  {
    for ((k = 1; k <= keys; k++)); do
      echo "key ${remote[RANDOM % ${#remote[@]}]}"
      ((k % 25 == 0)) && echo "shot s$k.png"
    done
    echo "key Stop"
  } >"$work/keys.tsim"
  for b in old new; do
    build=${!b}
    bash "$top/sample/make-disk.sh" "$work/disk-$b" "$build"
    mkdir -p "$work/shots-$b"
    "$build/bin/tapsim" --disk "$work/disk-$b" --script "$work/keys.tsim" --lang $( ((s % 2)) && echo en || echo de) \
      --shots "$work/shots-$b" --clock "2012-02-17 09:05:30" "$build/bin/Velumo.so" \
      >"$work/out-$b" 2>&1
    echo "exit $?" >>"$work/out-$b"
    mv "$work/out-$b" "$work/disk-$b/tapsim.out"
  done
  same "random keys, session $s" "$work/disk-old" "$work/disk-new"
  same "random keys, session $s, screens" "$work/shots-old" "$work/shots-new"
  rm -rf "$work"/disk-* "$work"/shots-*
done

# logoconv: each target over a copy of every sample logo, stretched and fitted,
# the receiver's way (--receiver, for the builds that have it).
"$new/bin/mksample" "$work/sample" >/dev/null
logos=$work/sample/ProgramFiles/Settings/Logos
targets=$("$new/bin/logoconv" --list-formats | awk '/^Targets/ {t = 1; next} t && NF > 1 {print $1}')
for t in $targets; do
  for fit in "" --fit; do
    for b in old new; do
      build=${!b}
      mode=
      "$build/bin/logoconv" --help | grep -q -- --receiver && mode=--receiver
      rm -rf "$work/lc-$b"
      cp -a "$logos" "$work/lc-$b"
      "$build/bin/logoconv" $mode -r $fit "$t" "$work/lc-$b" >"$work/lc-$b/logoconv.out" 2>&1
      sed -i "s#$work/lc-$b#DIR#g; s/, [0-9.]* s, [0-9]* logos\/s//" "$work/lc-$b/logoconv.out"
      sed -i "/ETA/d" "$work/lc-$b/logoconv.out"
    done
    same "logoconv $fit $t" "$work/lc-old" "$work/lc-new"
  done
done

echo "compare-builds: $compared compared, $differ different"
[ "$differ" = 0 ]
