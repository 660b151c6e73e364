#!/usr/bin/env bash
# logoconv from the command line: conversions, what it refuses or skips,
# --force, -o, --dry-run, targets two sources share, parallel runs against a
# serial one, and interrupted runs.
# usage: cli.sh LOGOCONV LOGOSET
logoconv=${1:?usage: cli.sh LOGOCONV LOGOSET}
logoset=${2:?usage: cli.sh LOGOCONV LOGOSET}
logoconv=$(realpath "$logoconv")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
passed=0

. "$(dirname "$0")/../support/check.sh"
failure_details() {
  echo "  exit code: $rc"
  echo "  stdout: $out"
  echo "  stderr: $err"
}
run() { # run ARGS...; sets rc, out, err
  "$logoconv" "$@" >"$work/out" 2>"$work/err"
  rc=$?
  out=$(cat "$work/out")
  err=$(cat "$work/err")
}
has() { grep -qF -- "$1" <<<"$2"; }
same() { cmp -s "$1" "$2"; }
be32() { printf "\\x$(printf %02x $(($1 >> 24 & 255)))\\x$(printf %02x $(($1 >> 16 & 255)))\\x$(printf %02x $(($1 >> 8 & 255)))\\x$(printf %02x $(($1 & 255)))"; }
# A 16-bit raw logo W x H, every pixel the same word (two bytes as \\x escapes).
raw16() { # raw16 FILE W H PIXEL
  {
    be32 "$2"
    be32 "$3"
    for ((i = 0; i < $2 * $3; ++i)); do printf "$4"; done
  } >"$1"
}

# ---- usage ----------------------------------------------------------------
. "$(dirname "$0")/targets.sh"
read_targets "$logoconv" || exit 1
names_all() { # names_all TEXT: every target is a word of TEXT
  local t
  for t in "${targets[@]}"; do grep -qw -- "$t" <<<"$1" || return 1; done
}
run --help
# The sentence that names the targets, before the options.
named=$(awk 'NR > 1 && !NF { exit } NR > 1' <<<"$out" | tr '\n' ' ')
check "--help exits 0" [ "$rc" = 0 ]
check "  and names every target" names_all "$named"
check "  with the first and the last key" has "keys ${keys[0]} to ${keys[-1]})" "$named"
run nosuch "$work"
check "an unknown target is a usage error" [ "$rc" = 2 ]
check "  and says which" has "unknown target nosuch" "$err"
run qtl
check "no path is a usage error" [ "$rc" = 2 ]
run -j 0 qtl "$work"
check "-j 0 is a usage error" [ "$rc" = 2 ]
run --list-formats
check "--list-formats lists the formats and targets" \
  bash -c '[ '$rc' = 0 ] && grep -q "^  .qtl32 " "'"$work/out"'" && grep -q "^  qsl     7  qsl/qsl32 *36x22" "'"$work/out"'"'

# ---- a conversion and its exact bytes ---------------------------------------
mkdir -p "$work/a"
raw16 "$work/a/red.bll" 2 1 '\xfc\x00'
run bll32 "$work/a"
check "a folder converts" [ "$rc" = 0 ]
check "  with the summary" has "converted 1, skipped 0, failed 0" "$out"
# 0xFC00: opaque, red 31 -> 254; the 32-bit logo is A R G B big-endian.
printf '\x00\x00\x00\x02\x00\x00\x00\x01\xff\xfe\x00\x00\xff\xfe\x00\x00' >"$work/expect"
check "  into the 32-bit raw logo, byte for byte" same "$work/expect" "$work/a/red.bll32"
check "  leaving no temporary file" bash -c '! ls "'"$work/a"'" | grep -q "~"'

# ---- skipped: the target exists, and --force ---------------------------------
printf 'mine' >"$work/a/red.png"
run png "$work/a/red.bll"
check "an existing target is skipped, exit 0" [ "$rc" = 0 ]
check "  and counted as such" has "skipped 1, failed 0 (skipped: 1 target exists" "$out"
check "  and left as it was" [ "$(cat "$work/a/red.png")" = mine ]
run --force png "$work/a/red.bll"
check "--force replaces it" [ "$rc" = 0 ]
check "  with a PNG" bash -c 'head -c 8 "'"$work/a/red.png"'" | cmp -s - <(printf "\x89PNG\r\n\x1a\n")'

# ---- refused and failed ------------------------------------------------------
cp "$work/a/red.bll" "$work/red-copy"
run -v bll "$work/a/red.bll"
check "converting a file into its own format is skipped, exit 0" [ "$rc" = 0 ]
check "  saying why" has "the target would be the file itself" "$out"
check "  and the source stays" same "$work/red-copy" "$work/a/red.bll"
mkdir "$work/a/red.bmp"
run --force bmp "$work/a/red.bll"
check "a folder in the target's place fails the file, exit 1" [ "$rc" = 1 ]
check "  with the reason" has "red.bll: a folder, link or other non-plain file" "$err"
check "  and the folder stays" [ -d "$work/a/red.bmp" ]
rmdir "$work/a/red.bmp"
printf '\x89PNG\r\n\x1a\nbroken' >"$work/a/broken.png"
run qtl "$work/a/broken.png"
check "a damaged logo fails, exit 1" [ "$rc" = 1 ]
check "  with the reason" has "broken.png: not a readable png logo" "$err"
check "  and writes nothing" [ ! -e "$work/a/broken.qtl32" ]
rm "$work/a/broken.png"
printf 'text' >"$work/a/notes.txt"
run qtl "$work/a/notes.txt" "$work/a/missing.png"
check "a file that is no logo and a missing one fail, exit 1" [ "$rc" = 1 ]
check "  each with its reason" bash -c 'grep -q "notes.txt: not a logo file" "'"$work/err"'" && grep -q "missing.png: No such file" "'"$work/err"'"'
raw16 "$work/a/thin.bll" 1000 10 '\x80\x01'
run bll32 "$work/a/thin.bll"
check "a logo reduced to no rows fails" bash -c '[ '$rc' = 1 ] && grep -q "thin.bll: no rows or columns left" "'"$work/err"'"'
rm "$work/a/thin.bll" "$work/a/notes.txt"
deep=$work/d/$(printf 'f%.0s' {1..200})/$(printf 'g%.0s' {1..200})/$(printf 'h%.0s' {1..100})
mkdir -p "$deep"
cp "$work/a/red.bll" "$deep/x.bll"
run -r png "$work/d"
check "a target deeper than the engine takes fails with its reason" bash -c '[ '$rc' = 1 ] && grep -q "x.bll: the target.s folder path is too long" "'"$work/err"'"'
run -o "$work/d" png "$deep/x.bll"
check "  and the same source converts into a shallower folder" [ "$rc" = 0 -a -f "$work/d/x.png" ]

# ---- two sources, one target -------------------------------------------------
mkdir -p "$work/b"
raw16 "$work/b/x.bll" 2 2 '\x80\x1f'
raw16 "$work/b/x.qsl" 2 2 '\xfc\x00'
for j in 1 2; do
  rm -f "$work/b/x.qtl"
  run -j $j qtl "$work/b"
  check "-j $j: a target two sources would write is written once" [ "$rc" = 0 ]
  check "  -j $j: from the first source by name" bash -c '"'"$logoconv"'" -o "'"$work/b-ref"'" qtl "'"$work/b/x.bll"'" >/dev/null && cmp -s "'"$work/b-ref/x.qtl"'" "'"$work/b/x.qtl"'"'
  check "  -j $j: the other is named" has "x.qsl: skipped, $work/b/x.bll writes the same target" "$err"
done

# ---- -o mirrors the tree; --dry-run writes nothing ---------------------------
mkdir -p "$work/c/sub/deeper"
cp "$work/a/red.bll" "$work/c/one.bll"
cp "$work/a/red.bll" "$work/c/sub/deeper/two.bll"
run -r -n -o "$work/c/out" ibl "$work/c"
check "--dry-run says what it would do" [ "$rc" = 0 ]
check "  in a summary" has "would convert 2, skip 0, fail 0" "$out"
check "  and file by file" has "sub/deeper/two.bll -> $work/c/out/sub/deeper/two.ibl" "$out"
check "  and writes nothing" [ ! -e "$work/c/out" ]
(cd "$work/c" && "$logoconv" -n -o new ibl one.bll) >"$work/out" 2>&1
check "  also into a relative output folder not there yet" grep -q "one.bll -> $work/c/new/one.ibl" "$work/out"
check "  which it does not create" [ ! -e "$work/c/new" ]
run -r -o "$work/c/out" ibl "$work/c"
check "-o mirrors the tree" bash -c '[ -f "'"$work/c/out/one.ibl"'" ] && [ -f "'"$work/c/out/sub/deeper/two.ibl"'" ]'
check "  and writes nothing beside the sources" bash -c '[ ! -e "'"$work/c/one.ibl"'" ] && [ ! -e "'"$work/c/sub/deeper/two.ibl"'" ]'
run -r -o "$work/c/out" bll32 "$work/c"
check "  and never reads its own output folder" has "converted 2, skipped 0" "$out"
run qtl "$work/c"
check "without -r the folders below are left out" has "converted 1, skipped 0" "$out"
rm "$work/c/one.qtl"
run qtl "$work/c" "$work/c/one.bll" "$work/c/../c/one.bll"
check "a file named more than once is converted once" has "converted 1, skipped 0, failed 0" "$out"

# ---- parallel runs give the bytes of a serial one -----------------------------
mkdir -p "$work/set"
"$logoset" "$work/set" 300
cp "$work/a/red.bll" "$work/set/zz-raw.qsl"
for target in qtl bll bmpjpg; do
  for j in 1 2 4; do
    rm -rf "$work/out-$j"
    run -j $j -o "$work/out-$j" $target "$work/set"
  done
  check "$target: -j 2 gives the bytes of -j 1" diff -r "$work/out-1" "$work/out-2"
  check "$target: -j 4 gives the bytes of -j 1" diff -r "$work/out-1" "$work/out-4"
  check "$target: all 301 converted" has "converted 301, skipped 0, failed 0" "$out"
done

# ---- interrupted runs -------------------------------------------------------
# Every target there is complete (the bytes of an uninterrupted run); SIGINT
# lets the files in hand be finished, SIGKILL leaves at most their temporary
# files NAME.~N, which a later run ignores.
mkdir -p "$work/big"
"$logoset" "$work/big" 2000
rm -rf "$work/ref" && "$logoconv" -j 2 -o "$work/ref" bll32 "$work/big" >/dev/null 2>&1
complete() { # complete DIR: every file there is the reference's
  local f
  for f in "$1"/*; do
    [ -e "$f" ] || continue
    case $f in *.~[0-9]) continue ;; esac
    cmp -s "$f" "$work/ref/${f##*/}" || { echo "partial: $f"; return 1; }
  done
}
for sig in INT KILL; do
  rm -rf "$work/int"
  "$logoconv" -j 2 -o "$work/int" bll32 "$work/big" >"$work/out" 2>"$work/err" &
  pid=$!
  for ((i = 0; i < 200; ++i)); do
    [ "$(ls "$work/int" 2>/dev/null | wc -l)" -ge 50 ] && break
    sleep 0.02
  done
  kill -$sig $pid
  wait $pid
  rc=$?
  out=$(cat "$work/out")
  err=$(cat "$work/err")
  sleep 0.2 # the workers of a killed driver go with it
  n=$(ls "$work/int" | grep -c '\.bll32$')
  check "SIG$sig: the run stopped early" [ "$n" -lt 2000 ]
  check "SIG$sig: the exit status is not 0" [ "$rc" != 0 ]
  check "SIG$sig: no target is partial" complete "$work/int"
  if [ $sig = INT ]; then
    check "SIGINT: the summary says so" has "interrupted" "$out"
    check "SIGINT: no temporary file is left" bash -c '! ls "'"$work/int"'" | grep -q "~"'
  fi
  run -j 2 -o "$work/int" bll32 "$work/big"
  check "SIG$sig: a second run completes the rest" [ "$rc" = 0 ]
  check "SIG$sig:   and skips what is there" has "converted $((2000 - n)), skipped $n, failed 0" "$out"
  check "SIG$sig:   giving every target complete" bash -c '[ "$(ls "'"$work/int"'" | grep -c "\.bll32$")" = 2000 ]'
  check "SIG$sig:   and the same bytes" complete "$work/int"
done

echo "logoconv cli: $passed passed, $failures failed"
[ "$failures" = 0 ]
