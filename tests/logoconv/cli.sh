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

raw32() { # raw32 FILE W H PIXEL...: a 32-bit raw logo of the pixels (\\x escapes), repeated
  local file=$1 w=$2 h=$3 i
  shift 3
  {
    be32 "$w"
    be32 "$h"
    for ((i = 0; i < w * h; ++i)); do printf "${@:$((i % $# + 1)):1}"; done
  } >"$file"
}
size() { od -An -tu1 -N8 -v "$1" | awk '{ printf "%dx%d", $3 * 256 + $4, $7 * 256 + $8 }'; }
# The alpha of each row of a 32-bit raw logo W wide: "o" all opaque, "-"
# all transparent, "?" anything else.
rows() {
  od -An -tu1 -j8 -v -w4 "$1" | awk -v w="$2" '{ o += $1 == 255; t += $1 == 0 } NR % w == 0 {
    printf "%s", o == w ? "o" : t == w ? "-" : "?"; o = t = 0 }'
}
words() { od -An -tx1 -j8 -v "$1" | tr -d ' \n'; }
line() { printf "%${1}s" | tr ' ' "$2"; }

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
check "  with the reason" has "broken.png: truncated PNG" "$err"
check "  and writes nothing" [ ! -e "$work/a/broken.qtl32" ]
rm "$work/a/broken.png"
printf 'text' >"$work/a/notes.txt"
run qtl "$work/a/notes.txt" "$work/a/missing.png"
check "a file that is no logo and a missing one fail, exit 1" [ "$rc" = 1 ]
check "  each with its reason" bash -c 'grep -q "notes.txt: not a logo file" "'"$work/err"'" && grep -q "missing.png: No such file" "'"$work/err"'"'
raw16 "$work/a/thin.bll" 1000 10 '\x80\x01'
run --receiver bll32 "$work/a/thin.bll"
check "--receiver: a logo reduced to no rows fails" bash -c '[ '$rc' = 1 ] && grep -q "thin.bll: no rows or columns left" "'"$work/err"'"'
run bll32 "$work/a/thin.bll"
check "  the best conversion keeps one row" [ "$rc" = 0 -a "$(size "$work/a/thin.bll32")" = 60x1 ]
rm -f "$work/a/thin.bll32"
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
  check "  -j $j: from the source first in the format table" bash -c '"'"$logoconv"'" -o "'"$work/b-ref"'" qtl "'"$work/b/x.qsl"'" >/dev/null && cmp -s "'"$work/b-ref/x.qtl"'" "'"$work/b/x.qtl"'"'
  check "  -j $j: the other is named" has "x.bll: skipped, $work/b/x.qsl writes the same target" "$err"
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

# ---- the best conversion: geometry ------------------------------------------
mkdir -p "$work/g"
raw32 "$work/g/wide.bll32" 120 40 '\xff\xff\xff\xff'
# 30 x 30 opaque in the middle of 120 x 40, the rest transparent.
{
  be32 120
  be32 40
  for ((y = 0; y < 40; ++y)); do
    for ((x = 0; x < 120; ++x)); do
      if ((x >= 45 && x < 75 && y >= 5 && y < 35)); then printf '\xff\x20\x40\x80'; else printf '\0\0\0\0'; fi
    done
  done
} >"$work/g/boxed.bll32"
printf '<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 200 100"><rect width="200" height="100" fill="#fff"/></svg>' >"$work/g/drawn.svg"
geometry() { # geometry WHAT OPTIONS TARGET SOURCE OUTPUT SIZE [ROWS]
  rm -rf "$work/g/out"
  run $2 -o "$work/g/out" "$3" "$work/g/$4"
  check "$1: converted" [ "$rc" = 0 ]
  check "  $1: $6" [ "$(size "$work/g/out/$5")" = "$6" ]
  [ -z "${7:-}" ] || check "  $1: rows $7" [ "$(rows "$work/g/out/$5" "${6%x*}")" = "$7" ]
}
geometry "fitted, centred on the canvas" "" qtl wide.bll32 wide.qtl32 54x34 "$(line 8 -)$(line 18 o)$(line 8 -)"
geometry "--stretch fills it" --stretch qtl wide.bll32 wide.qtl32 54x34 "$(line 34 o)"
geometry "--trim cuts the transparent border" --trim ibl boxed.bll32 boxed.ibl32 50x30 "$(line 30 '?')"
# Trimmed, the 30 x 30 square fills the height and is centred: 10
# transparent columns each side.
check "  --trim: the square is centred" [ "$(od -An -tu1 -j8 -v -w4 "$work/g/out/boxed.ibl32" | awk 'NR <= 50 { printf "%s", $1 == 255 ? "o" : "-" }')" = "$(line 10 -)$(line 30 o)$(line 10 -)" ]
geometry "untrimmed, the border stays" "" ibl boxed.bll32 boxed.ibl32 50x30
untrimmed=$(rows "$work/g/out/boxed.ibl32" 50)
check "  untrimmed: fitted 50x17, the canvas above and below" [ "${untrimmed:0:6}${untrimmed: -7}" = "$(line 13 -)" -a "${untrimmed:6:17}" != "$(line 17 -)" ]
cp "$work/g/wide.bll32" "$work/g/wide.qtl32"
geometry "the size as loaded fits 60x40" "" bll32 wide.qtl32 wide.bll32 60x20 "$(line 20 o)"
geometry "an SVG drawn fitted" "" qsl drawn.svg drawn.qsl32 36x22 "$(line 2 -)$(line 18 o)$(line 2 -)"
geometry "an SVG at the size as loaded" "" bll32 drawn.svg drawn.bll32 60x30 "$(line 30 o)"

# ---- the best conversion: 16-bit pixels and the background -------------------
# Opaque from half alpha up, composited over the background; black, the
# transparent colour, kept opaque as the darkest grey.
sixteen() { # sixteen WHAT OPTIONS WORDS PIXEL...
  local what=$1 opts=$2 want=$3
  shift 3
  raw32 "$work/g/px.bll32" $# 1 "$@"
  rm -f "$work/g/px.bll"
  run $opts bll "$work/g/px.bll32"
  check "16-bit: $what" [ "$(words "$work/g/px.bll")" = "$want" ]
}
sixteen "over black" "" ffffbdef000084218421 \
  '\xff\xff\xff\xff' '\x80\xff\xff\xff' '\x7f\xff\xff\xff' '\xff\x00\x00\x00' '\xff\x08\x08\x08'
sixteen "over white" "--background #FFFFFF" bdef0000fc00bdef \
  '\x80\x00\x00\x00' '\x00\x00\x00\x00' '\xff\xff\x00\x00' '\x80\x00\x00\x00'
raw32 "$work/g/half.bll32" 1 1 '\x80\xff\xff\xff'
run --background 0000ff bmp "$work/g/half.bll32"
check "--background lies under a BMP's half-transparent pixels" [ "$(od -An -tx1 -j54 -N3 "$work/g/half.bmp" | tr -d ' ')" = "ff8080" ]
for bad in "--background red" "--receiver --trim" "--receiver --stretch" "--fit --stretch"; do
  run $bad qtl "$work/g"
  check "$bad is a usage error" [ "$rc" = 2 ]
done

# ---- the reasons a source fails ----------------------------------------------
mkdir -p "$work/r"
raw32 "$work/r/ok.bll32" 2 2 '\xff\x10\x20\x30'
"$logoconv" --receiver png -o "$work/r/src" "$work/r/ok.bll32" >/dev/null
png=$work/r/src/ok.png
head -c $(($(stat -c %s "$png") - 20)) "$png" >"$work/r/cut.png"
cp "$png" "$work/r/crc.png"
# The first byte of the IDAT data: its CRC no longer holds.
at=$(grep -obUa IDAT "$png" | head -1 | cut -d: -f1)
printf '\xaa' | dd of="$work/r/crc.png" bs=1 seek=$((at + 4)) conv=notrunc 2>/dev/null
printf 'hello' >"$work/r/text.png"
: >"$work/r/empty.png"
printf '<svg xmlns="http://www.w3.org/2000/svg"><rect width="9" height="9"/></svg>' >"$work/r/nosize.svg"
printf '\0\0\0\x10\0\0\0\x10\xff' >"$work/r/short.qtl32"
printf '\xff\xd8\xff\xe0' >"$work/r/trunc.jpg"
failing=(cut.png crc.png text.png empty.png nosize.svg short.qtl32 trunc.jpg)
run bll32 "${failing[@]/#/$work/r/}"
check "each damaged source fails, exit 1" [ "$rc" = 1 ]
for reason in "cut.png: truncated PNG" "crc.png: CRC error in IDAT" "text.png: unknown format" \
  "empty.png: empty file" "nosize.svg: SVG without a size" "trunc.jpg: truncated JPEG" \
  "short.qtl32: truncated raw logo (16x16 needs 1032 bytes, the file has 9)"; do
  check "  with its reason: $reason" has "$reason" "$err"
done
check "  and none writes a target" [ "$(ls "$work/r" | wc -l)" = $((${#failing[@]} + 2)) ]
# What a file is comes from its bytes: a PNG named .jpg converts.
cp "$png" "$work/r/named.jpg"
run bll32 "$work/r/named.jpg"
check "a PNG named .jpg converts" [ "$rc" = 0 -a "$(words "$work/r/named.bll32")" = ff102030ff102030ff102030ff102030 ]
mkdir -p "$work/none"
cp "$work/r/cut.png" "$work/r/text.png" "$work/none/"
run bll32 "$work/none"
check "a folder of which nothing converts says so, exit 1" bash -c '[ '$rc' = 1 ] && grep -q "none: nothing in the folder could be converted" "'"$work/err"'"'
rm "$work/none"/*
run bll32 "$work/none"
check "a folder without logos says so, exit 1" bash -c '[ '$rc' = 1 ] && grep -q "none: no logo files in the folder" "'"$work/err"'"'
run --receiver bll32 "$work/r/crc.png"
check "--receiver: a damaged file fails with the reason" has "crc.png: CRC error in IDAT" "$err"

# ---- the public test suites ----------------------------------------------------
# Every valid PNG of PngSuite and BMP of the BMP Suite's good ones converts;
# every corrupt PNG (x*) fails, each with its reason.
suites=$(dirname "$0")/../../../shared/testdata
if [ -d "$suites/pngsuite" ] && [ -d "$suites/bmpsuite/g" ]; then
  run -o "$work/suite" bll32 "$suites/pngsuite" "$suites/bmpsuite/g"
  good=$(ls "$suites/pngsuite" | grep -c '^[^x].*\.png$')
  corrupt=$(ls "$suites/pngsuite" | grep -c '^x.*\.png$')
  bmps=$(ls "$suites/bmpsuite/g" | grep -c '\.bmp$')
  check "the suites: $good PNGs and $bmps BMPs convert, $corrupt corrupt PNGs fail" \
    has "converted $((good + bmps)), skipped 0, failed $corrupt" "$out"
  check "  each with its reason" [ "$(grep -c '/x[^/]*\.png: [a-zA-Z]' <<<"$err")" = "$corrupt" ]
else
  skip_or_fail "the PngSuite and the BMP Suite in $suites"
fi

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
    case $f in *.~[0-9]*) continue ;; esac
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
