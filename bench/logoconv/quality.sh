#!/usr/bin/env bash
# How good and how fast logoconv's qtl logos are, on COUNT generated logos
# (200 unless given; logogen.sh: PNGs of every kind, every fourth an SVG).
# Quality: SSIM over the dark test background against ImageMagick's
# premultiplied Lanczos reduction to the fitted box (measure.sh), for
# logoconv's default, its receiver path (--receiver: bilinear, stretched;
# and with --fit) and ImageMagick's own mogrify -resize 54x34; mean, mean of
# the worst tenth and worst per kind of source, and how many logos lie more
# than a pixel off the reference's box.  Speed: logoconv -j 1 against
# mogrify on one thread on the set's PNGs, ROUNDS runs each (5 unless
# given), taking turns; the goal is logoconv at least three times as fast.
# usage: quality.sh [BUILD] [COUNT] [ROUNDS]
set -euo pipefail
build=${1:-build}
count=${2:-200}
rounds=${3:-5}
here=$(cd "$(dirname "$0")" && pwd)
logoconv=$build/bin/logoconv
logossim=$build/bin/logossim
for tool in convert mogrify pngquant rsvg-convert "$logoconv" "$logossim"; do
  command -v "$tool" >/dev/null || {
    echo "$tool not found"
    exit 1
  }
done
. "$here/measure.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$here/logogen.sh" "$work/set" "$count" 11 >"$work/manifest"
make_references "$work/manifest" 54 34 "$work/ref"

# ---- quality ----------------------------------------------------------------
"$logoconv" -o "$work/default" qtl "$work/set" >/dev/null 2>&1 || true
"$logoconv" --receiver -o "$work/receiver" qtl "$work/set" >/dev/null 2>&1 || true
"$logoconv" --receiver --fit -o "$work/receiver-fit" qtl "$work/set" >/dev/null 2>&1 || true
mkdir "$work/mogrify"
mogrify -path "$work/mogrify" -format png -resize 54x34 -background none -gravity center \
  -extent 54x34 "$work/set"/*

echo "SSIM over #101010 against ImageMagick's Lanczos to the fitted box, $count logos"
printf '%-22s %-4s %9s %7s %8s %7s %6s\n' "" kind written mean worst10 min moved
for mode in default:qtl32 receiver:qtl32 receiver-fit:qtl32 mogrify:png; do
  score "$work/manifest" "$work/ref" "$work/${mode%:*}" "${mode#*:}" >"$work/scores"
  case ${mode%:*} in
  default) shown="logoconv" ;;
  receiver) shown="logoconv --receiver" ;;
  receiver-fit) shown="  --receiver --fit" ;;
  mogrify) shown="mogrify -resize 54x34" ;;
  esac
  while read -r kind n mean tenth min _; do
    written=$(awk -v k="$kind" '$1 == k && $3 != "none"' "$work/scores" | wc -l)
    moved=$(awk -v k="$kind" '$1 == k && $3 != "none" && $3 > 1' "$work/scores" | wc -l)
    printf '%-22s %-4s %4d/%-4d %7s %8s %7s %6d\n' "$shown" "$kind" "$written" "$n" "$mean" \
      "$tenth" "$min" "$moved"
    shown=
  done < <(summary "$work/scores")
done
echo "(a logo not written counts 0; moved: visible box more than 1 px off the reference's;"
echo " mogrify's -gravity center puts an odd margin's extra pixel left and above, the"
echo " reference right and below: a pixel's shift costs much SSIM at 54x34)"

# ---- speed ------------------------------------------------------------------
mkdir "$work/speed"
awk '$2 == "png" { print $1 }' "$work/manifest" | xargs cp -t "$work/speed"
pngs=$(ls "$work/speed" | wc -l)
cat "$work/speed"/* >/dev/null
now() { date +%s.%N; }
logoconv_run() {
  rm -rf "$work/sp-a"
  local t0
  t0=$(now)
  "$logoconv" -j 1 -o "$work/sp-a" qtl "$work/speed" >/dev/null 2>&1
  awk -v a="$t0" -v b="$(now)" 'BEGIN { print b - a }' >>"$work/times-a"
}
mogrify_run() {
  rm -rf "$work/sp-b"
  mkdir "$work/sp-b"
  local t0
  t0=$(now)
  mogrify -limit thread 1 -path "$work/sp-b" -format png -resize 54x34 "$work/speed"/*.png
  awk -v a="$t0" -v b="$(now)" 'BEGIN { print b - a }' >>"$work/times-b"
}
for ((i = 0; i < rounds; ++i)); do
  logoconv_run
  mogrify_run
done
median() { sort -g "$1" | awk '{ v[NR] = $1 } END { print NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
a=$(median "$work/times-a")
b=$(median "$work/times-b")
echo
echo "speed: $pngs PNGs (mostly about 512 px) to 54x34, one thread, median of $rounds runs each, taken in turns"
awk -v a="$a" -v b="$b" -v n="$pngs" 'BEGIN {
  printf "  logoconv -j 1 qtl                     %6.2f s  %5.1f ms a logo\n", a, 1000 * a / n
  printf "  mogrify -limit thread 1 -resize 54x34 %6.2f s  %5.1f ms a logo\n", b, 1000 * b / n
  printf "  logoconv is %.1fx as fast (goal: at least 3x)\n", b / a }'
