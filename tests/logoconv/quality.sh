#!/usr/bin/env bash
# How logoconv's qtl logos look: 40 generated logos (PNGs of every kind and
# SVGs) converted in the default mode, each compared by SSIM over the dark
# test background with ImageMagick's premultiplied Lanczos reduction of the
# same source to the same fitted box, and its visible box (the proportions
# kept, centred) within a pixel of the reference's.  First the measure
# itself must tell a spoilt reference from the reference.
# usage: quality.sh LOGOCONV LOGOSSIM BENCH_LOGOCONV_DIR
logoconv=${1:?usage: quality.sh LOGOCONV LOGOSSIM BENCH_LOGOCONV_DIR}
logossim=${2:?usage: quality.sh LOGOCONV LOGOSSIM BENCH_LOGOCONV_DIR}
bench=${3:?usage: quality.sh LOGOCONV LOGOSSIM BENCH_LOGOCONV_DIR}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
passed=0
. "$(dirname "$0")/../support/check.sh"
. "$bench/measure.sh"

for tool in convert pngquant rsvg-convert; do
  command -v "$tool" >/dev/null && continue
  skip_or_fail "$tool"
  [ "$failures" = 0 ] && exit 77
  exit 1
done

at_least() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a >= b) }'; }
below() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a < b) }'; }

"$bench/logogen.sh" "$work/set" 40 7 >"$work/manifest" || exit 1
make_references "$work/manifest" 54 34 "$work/ref" || exit 1

# ---- the measure ------------------------------------------------------------
# The first PNG's reference against itself and spoilt: what SSIM and box
# must say.
ref=$work/ref/$(awk '$2 == "png" { sub(/.*\//, "", $1); sub(/\.png$/, "", $1); print $1; exit }' \
  "$work/manifest").png
while IFS='|' read -r what ops ssim_cmp ssim_bound box_test; do
  read -ra ops <<<"$ops"
  read -ra box_test <<<"$box_test"
  convert "$ref" "${ops[@]}" -depth 8 PNG32:"$work/spoilt.png"
  read -r s b < <("$logossim" "$ref" "$work/spoilt.png")
  echo "the measure: $what: SSIM $s, box $b"
  check "  SSIM $ssim_cmp $ssim_bound" "$ssim_cmp" "${s:-0}" "$ssim_bound"
  check "  box ${box_test[*]}" [ "${b:-99}" "${box_test[@]}" ]
done <<'EOF'
the reference itself|-strip|at_least|1.0|-eq 0
blurred by 1 px|-channel RGBA -blur 0x1|below|0.95|-le 1
moved 2 px to the right|-background none -splice 2x0 -crop 54x34+0+0 +repage|below|0.99|-eq 2
EOF

# ---- logoconv ---------------------------------------------------------------
"$logoconv" -o "$work/out" qtl "$work/set" >"$work/log" 2>&1
rc=$?
check "logoconv converts every logo (exit $rc)" [ "$rc" = 0 ]
[ "$rc" = 0 ] || head -5 "$work/log"
score "$work/manifest" "$work/ref" "$work/out" qtl32 >"$work/scores"
summary "$work/scores" >"$work/summary"

echo "logoconv qtl against ImageMagick's Lanczos, SSIM over #101010"
printf '%-5s %5s %7s %7s %7s  %s\n' kind logos mean worst10 min "(worst)"
while read -r kind n mean tenth min worst; do
  printf '%-5s %5d %7s %7s %7s  %s\n' "$kind" "$n" "$mean" "$tenth" "$min" "$worst"
done <"$work/summary"

# The goals: mean, mean of the worst tenth, worst.
while read -r kind mean tenth min; do
  read -r _ _ m t w _ < <(grep "^$kind " "$work/summary")
  check "$kind sources: mean SSIM ${m:-none} at least $mean" at_least "${m:-0}" "$mean"
  check "$kind sources: worst tenth ${t:-none} at least $tenth" at_least "${t:-0}" "$tenth"
  check "$kind sources: worst ${w:-none} at least $min" at_least "${w:-0}" "$min"
done <<'EOF'
png 0.98 0.96 0.85
svg 0.96 0.94 0.85
EOF
missing=$(awk '$3 == "none" { printf " %s", $4 }' "$work/scores")
check "every logo written:${missing:- yes}" [ -z "$missing" ]
moved=$(awk '$3 != "none" && $3 > 1 { printf " %s (%d px)", $4, $3 }' "$work/scores")
check "every logo's visible box within 1 px of the reference's:${moved:- yes}" [ -z "$moved" ]

echo "$passed passed, $failures failed"
[ "$failures" = 0 ]
