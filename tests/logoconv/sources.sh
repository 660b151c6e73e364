#!/usr/bin/env bash
# Sources shorter than their headers announce: refused as truncated by
# default, each with its reason and no target; the complete files convert;
# --receiver converts them as the plug-in does.
# usage: sources.sh LOGOCONV
logoconv=${1:?usage: sources.sh LOGOCONV}
logoconv=$(realpath "$logoconv")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
passed=0

. "$(dirname "$0")/../support/check.sh"
failure_details() {
  echo "  exit code: $rc"
  echo "  stderr: $err"
}
run() { # run ARGS...; sets rc and err
  "$logoconv" "$@" >"$work/out" 2>"$work/err"
  rc=$?
  err=$(cat "$work/err")
}
has() { grep -qF -- "$1" <<<"$2"; }

if ! command -v convert >/dev/null; then
  skip_or_fail "ImageMagick's convert"
  echo "sources: $passed passed, $failures failed"
  [ "$failures" = 0 ]
  exit
fi

cd "$work" || exit 1
mkdir whole cut
# 40x30 at 24 bits: rows of 120 bytes, no padding, 54 bytes of header.
convert -size 40x30 gradient:red-blue -type TrueColor BMP3:whole/rgb.bmp
# Run-length 8-bit: the header's image size counts the compressed bytes.
convert -size 40x30 xc:red -type Palette -compress RLE BMP3:whole/rle.bmp
printf '\x00\x00\x00\x10\x00\x00\x00\x10' >header16
{
  cat header16
  head -c 512 /dev/zero | tr '\0' '\377'
} >whole/w16.qtl
{
  cat header16
  head -c 1024 /dev/zero | tr '\0' '\377'
} >whole/w32.qtl32
rgb=$(stat -c %s whole/rgb.bmp)
rleOffset=$(od -An -tu4 -j10 -N4 whole/rle.bmp | tr -d ' ')
# The same with an image size of 0, as some writers leave it: only the codes
# (one run and the end of a row, 4 bytes, a row) tell where the picture ends.
{
  head -c 34 whole/rle.bmp
  printf '\0\0\0\0'
  tail -c +39 whole/rle.bmp
} >whole/rle0.bmp
# Without the end-of-bitmap code the last row's run still completes it.
head -c $((rleOffset + 29 * 4 + 2)) whole/rle0.bmp >whole/rle0-no-end.bmp

# name | how it is cut: bytes kept | the reason
cases="
header-only.bmp|rgb.bmp|54|truncated BMP (40x30 needs $rgb bytes, the file has 54)
half.bmp|rgb.bmp|$((54 + 1800))|truncated BMP (40x30 needs $rgb bytes, the file has 1854)
one-row-missing.bmp|rgb.bmp|$((rgb - 120))|truncated BMP (40x30 needs $rgb bytes, the file has $((rgb - 120)))
one-byte-short.bmp|rgb.bmp|$((rgb - 1))|truncated BMP (40x30 needs $rgb bytes, the file has $((rgb - 1)))
rle-header-only.bmp|rle.bmp|$rleOffset|truncated BMP (no run-length data after byte $rleOffset)
rle-short.bmp|rle.bmp|$((rleOffset + 10))|truncated BMP (40x30 needs
rle-no-size-short.bmp|rle0.bmp|$((rleOffset + 10))|truncated BMP (the run-length codes end after 2 of 30 rows)
rle-no-size-one-byte-short.bmp|rle0-no-end.bmp|$((rleOffset + 29 * 4 + 1))|truncated BMP (the run-length codes end after 29 of 30 rows)
header-only16.qtl|w16.qtl|8|truncated raw logo (16x16 needs 520 bytes, the file has 8)
header-only32.qtl32|w32.qtl32|8|truncated raw logo (16x16 needs 1032 bytes, the file has 8)
one-byte-short16.qtl|w16.qtl|519|truncated raw logo (16x16 needs 520 bytes, the file has 519)
one-byte-short32.qtl32|w32.qtl32|1031|truncated raw logo (16x16 needs 1032 bytes, the file has 1031)
"
while IFS='|' read -r name from keep reason; do
  [ -n "$name" ] || continue
  head -c "$keep" "whole/$from" >"cut/$name"
  check "$name: $keep bytes kept" [ "$(stat -c %s "cut/$name")" = "$keep" ]
  for target in png bll32; do
    mkdir -p "targets/$name-$target"
    run -o "targets/$name-$target" $target "cut/$name"
    check "$name to $target: exit 1" [ "$rc" = 1 ]
    check "$name to $target: the reason" has "$name: $reason" "$err"
    check "$name to $target: no target" [ -z "$(ls -A "targets/$name-$target" 2>/dev/null)" ]
  done
done <<<"$cases"

# The complete files: every one converts.
run -o done png whole
check "the complete files: exit 0" [ "$rc" = 0 ]
for f in rgb rle rle0 rle0-no-end w16 w32; do check "the complete $f converts" [ -s "done/$f.png" ]; done

# --receiver reads as the plug-in does, padding what is missing: every cut
# file converts, to the logo the plug-in makes.
run --receiver -o recv bll32 cut
check "--receiver: every cut file converted, exit 0" [ "$rc" = 0 ]
check "--receiver: no failure" has "failed 0" "$(cat "$work/out")"
check "--receiver: a logo for each" [ "$(ls recv | wc -l)" = "$(ls cut | wc -l)" ]
# A raw logo with no pixels: the plug-in's zeros, a transparent 16x16.
check "--receiver: header-only raw logo gives transparent pixels" \
  cmp -s recv/header-only16.bll32 <(cat header16; head -c 1024 /dev/zero)

echo "sources: $passed passed, $failures failed"
[ "$failures" = 0 ]
