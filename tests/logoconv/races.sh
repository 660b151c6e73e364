#!/usr/bin/env bash
# logoconv where the world does not hold still: two runs over the same
# targets at once, links planted where the temporary files go, leftovers of
# killed runs, workers that cannot be started or are killed, sources that
# share a target or have its name in another folder, names holding terminal
# controls.
# usage: races.sh LOGOCONV LOGOSET FORKLIMIT.so
logoconv=$(realpath "${1:?usage: races.sh LOGOCONV LOGOSET FORKLIMIT.so}")
logoset=${2:?usage: races.sh LOGOCONV LOGOSET FORKLIMIT.so}
forklimit=$(realpath "${3:?usage: races.sh LOGOCONV LOGOSET FORKLIMIT.so}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
passed=0
. "$(dirname "$0")/../support/check.sh"
failure_details() {
  echo "  exit code: $rc"
  echo "  stdout: $(head -c 2000 <<<"$out")"
  echo "  stderr: $(head -c 2000 <<<"$err")"
}
run() { # run ARGS...; sets rc, out, err
  "$logoconv" "$@" >"$work/out" 2>"$work/err"
  rc=$?
  out=$(cat "$work/out")
  err=$(cat "$work/err")
}
# The sanitizers' runtime must come first among preloaded libraries; the
# shim does not need it to.
limited() { # limited N ARGS...: logoconv where fork succeeds N times
  local n=$1
  shift
  FORKS_ALLOWED=$n LD_PRELOAD=$forklimit ASAN_OPTIONS=${ASAN_OPTIONS:-}:verify_asan_link_order=0 \
    run "$@"
}
has() { grep -qF -- "$1" <<<"$2"; }
count() { grep -cF -- "$1" <<<"$2"; }
# every target in DIR is the reference's, and nothing else is there
complete() { # complete DIR COUNT
  local n=0 f
  for f in "$1"/*.qtl32; do
    [ -f "$f" ] && [ ! -L "$f" ] && cmp -s "$f" "$work/ref/${f##*/}" || {
      echo "not complete: $f"
      return 1
    }
    n=$((n + 1))
  done
  [ "$n" = "$2" ] || { echo "$n targets, not $2"; return 1; }
}
no_temporaries() { ! ls -A "$1" | grep -q '\.~[0-9]'; }
workers_of() { pgrep -P "$1" | tr '\n' ' '; }

mkdir -p "$work/d" "$work/big"
"$logoset" "$work/d" 400 >/dev/null
run -o "$work/ref" qtl "$work/d"
check "the reference run" [ "$rc" = 0 ]
run qtl "$work/d"

# ---- two runs at once over the same targets ---------------------------------
for round in 1 2 3 4; do
  "$logoconv" -f -j 2 qtl "$work"/d/*.png >"$work/out1" 2>&1 &
  first=$!
  "$logoconv" -f -j 2 qtl "$work"/d/*.png >"$work/out2" 2>&1
  rc2=$?
  wait $first
  rc1=$?
  out=$(cat "$work/out1" "$work/out2") err= rc="$rc1 $rc2"
  check "two runs at once ($round): both succeed" [ "$rc1" = 0 -a "$rc2" = 0 ]
  check "  ($round): every target complete" complete "$work/d" 400
  check "  ($round): no temporary file left" no_temporaries "$work/d"
done

# ---- links planted where the temporary files go -----------------------------
# The workers are stopped as soon as they are there; then a link to the
# victim is planted at every name they could write.
printf 'keep me' >"$work/victim"
"$logoset" "$work/big" 2000 >/dev/null
run -o "$work/ref" qtl "$work/big"
run qtl "$work/big"
"$logoconv" -f -j 2 qtl "$work/big" >"$work/out" 2>"$work/err" &
driver=$!
for ((i = 0; i < 500; ++i)); do
  pids=$(workers_of $driver)
  [ "$(wc -w <<<"$pids")" = 2 ] && break
  sleep 0.01
done
kill -STOP $driver $pids
perl -e 'my ($victim, @pids) = @ARGV; for my $f (glob("'"$work"'/big/*.png")) {
  (my $t = $f) =~ s/\.png$/.qtl32/;
  for my $p (@pids) { symlink($victim, "$t.~$p"); symlink($victim, "$t.~$p.$_") for 1 .. 3 } }' \
  "$work/victim" $pids
planted=$(find "$work/big" -type l | wc -l)
kill -CONT $pids $driver
wait $driver
rc=$? out=$(cat "$work/out") err=$(cat "$work/err")
check "planted links: the run succeeds" [ "$rc" = 0 ]
check "  the victim is untouched" [ "$(cat "$work/victim")" = "keep me" ]
check "  every target is a complete plain file" complete "$work/big" 2000
check "  the links are still there, as links" [ "$planted" -ge 8000 -a "$(find "$work/big" -type l | wc -l)" = "$planted" ]
find "$work/big" -type l -delete

# ---- leftovers of killed runs ------------------------------------------------
mkdir "$work/left"
cp "$work/d/logo-00000.png" "$work/left/a.png"
for n in 0 1 2 3 4 5 6 7 8 9; do printf 'left' >"$work/left/a.qtl32.~$n"; done
run qtl "$work/left"
check "ten leftovers NAME.~0 to ~9 do not block the target" [ "$rc" = 0 -a -f "$work/left/a.qtl32" ]
check "  and are left alone" [ "$(cat "$work/left"/a.qtl32.~[0-9])" = "$(printf 'left%.0s' {0..9})" ]

# ---- workers that cannot be started or die -----------------------------------
rm -rf "$work/out-d"
limited 0 -o "$work/out-d" qtl "$work"/d/*.png
check "no worker can be started: converted in the driver" [ "$rc" = 0 ]
check "  says so" has "no worker could be started; converting in this process" "$err"
check "  and converts everything" has "converted 400, skipped 0, failed 0" "$out"
check "  the same bytes" complete "$work/out-d" 400

# kill9 DIR ARGS...: logoconv ARGS writing into DIR, one worker killed
# once DIR holds 100 files.
kill9() {
  local dir=$1 i p
  shift
  "$@" >"$work/out" 2>"$work/err" &
  local pid=$!
  for ((i = 0; i < 1000; ++i)); do
    [ "$(ls "$dir" 2>/dev/null | wc -l)" -ge 100 ] && break
    sleep 0.01
  done
  p=$(pgrep -P $pid | head -1)
  [ -n "$p" ] && kill -KILL "$p"
  wait $pid
  rc=$? out=$(cat "$work/out") err=$(cat "$work/err")
}
# The worker may be killed after its target is in place and before it says
# so: that one file is there, whole (qtl targets are all of one size), and
# named as failed.
accounted() { # every one of the 2000 is converted or named as failed
  local converted failed held on
  converted=$(sed -n 's/.*converted \([0-9]*\), skipped 0, failed \([0-9]*\).*/\1 \2/p' <<<"$out")
  failed=${converted#* } converted=${converted% *}
  held=$(sed -n 's|.*/\([^/]*\)\.png: the worker converting it ended abnormally$|\1|p' <<<"$err")
  on=$(ls "$work/out-k" | grep -c '\.qtl32$')
  [ -n "$converted" ] && [ $((converted + failed)) = 2000 ] &&
    { [ "$on" = "$converted" ] ||
      { [ "$on" = $((converted + 1)) ] && [ -n "$held" ] && [ -f "$work/out-k/$held.qtl32" ] && [ ! -L "$work/out-k/$held.qtl32" ] &&
        [ "$(stat -c %s "$work/out-k/$held.qtl32")" = "$(stat -c %s "$work/ref/logo-00001.qtl32")" ]; }; } &&
    [ "$(grep -c 'ended abnormally$' <<<"$err")" = "$failed" ] &&
    { [ "$failed" = 0 ] && [ "$rc" = 0 ] || [ "$rc" = 1 ]; }
}
rm -rf "$work/out-k"
kill9 "$work/out-k" "$logoconv" -j 2 -o "$work/out-k" qtl "$work"/big/*.png
check "a worker killed: said" has "a worker ended abnormally (killed by signal 9)" "$err"
check "  the others go on: every file converted or named" accounted
check "  most converted" [ "$(count ': not converted' "$err")" = 0 ]
rm -rf "$work/out-k"
kill9 "$work/out-k" env FORKS_ALLOWED=1 LD_PRELOAD="$forklimit" \
  ASAN_OPTIONS="${ASAN_OPTIONS:-}:verify_asan_link_order=0" "$logoconv" -j 1 -o "$work/out-k" qtl "$work"/big/*.png
check "the only worker killed, none to start again: exit 1" [ "$rc" = 1 ]
check "  every file not converted is named" accounted
check "  and there are such files" [ "$(count ': not converted, the workers ended abnormally' "$err")" -gt 0 ]

# ---- the source's name in another folder ------------------------------------
mkdir -p "$work/own"
cp "$work/d/logo-00001.png" "$work/own/a.png"
run -o "$work/own/o1" qtl "$work/own/a.png"
cp "$work/own/o1/a.qtl32" "$work/own/x.qtl32"
run -o "$work/own/o2" qtl "$work/own/x.qtl32"
check "-o: x.qtl32 to qtl elsewhere is converted" [ "$rc" = 0 -a -f "$work/own/o2/x.qtl32" ]
run -o "$work/own/o3" png "$work/own/a.png"
check "-o: a.png to png elsewhere is converted" [ "$rc" = 0 -a -f "$work/own/o3/a.png" ]
ln -s "$work/own" "$work/own-link"
run -v -o "$work/own-link" qtl "$work/own/x.qtl32"
check "-o naming the source's own folder: still the source itself" \
  has "x.qtl32: skipped, the target would be the file itself" "$out"
check "  and untouched" cmp -s "$work/own/x.qtl32" "$work/own/o1/a.qtl32"

# ---- sources that share a target ---------------------------------------------
mkdir -p "$work/two"
convert -size 20x10 xc:red "$work/two/a.bmp"
printf '\x89PNG\r\n\x1a\n' >"$work/two/a.png" # damaged, and first in the format table
cp "$work/d/logo-00002.png" "$work/two/b.png"
cp "$work/two/a.bmp" "$work/two/b.bmp"
for j in 1 2; do
  rm -f "$work"/two/*.qtl32
  run -j $j qtl "$work/two"
  check "-j $j: a damaged source does not block the other" [ -f "$work/two/a.qtl32" ]
  check "  -j $j: the failed one is named, and the exit says so" \
    bash -c '[ '$rc' = 1 ] && grep -qF "two/a.png: truncated PNG" "'"$work/err"'"'
  check "  -j $j: the one that stood in says so" has "two/a.bmp: converted in place of $work/two/a.png" "$err"
  check "  -j $j: of two good ones the first in the format table" cmp -s "$work/two/b.qtl32" "$work/ref/logo-00002.qtl32"
  check "  -j $j: the other is named" has "two/b.bmp: skipped, $work/two/b.png writes the same target" "$err"
done

# ---- names that would rewrite the terminal -----------------------------------
mkdir -p "$work/esc"
name=$'x\e]0;owned\a\e[2J\xc2\x9b.png'
cp "$work/d/logo-00003.png" "$work/esc/$name"
printf 'damaged' >"$work/esc/"$'y\e[1m.png'
run -v qtl "$work/esc"
check "terminal controls in names are printed escaped" has 'x\x1b]0;owned\x07\x1b[2J\xc2\x9b.png -> ' "$out"
check "  in failure lines too" has 'y\x1b[1m.png: ' "$err"
raw() { LC_ALL=C grep -q "$(printf '[\001-\011\013-\037\177]')" "$@"; }
clean() { ! raw "$work/out" && ! raw "$work/err"; }
check "  and never raw" clean

echo "logoconv races: $passed passed, $failures failed"
[ "$failures" = 0 ]
