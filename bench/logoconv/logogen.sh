#!/usr/bin/env bash
# logogen.sh - writes COUNT logos into DIR as downloaded logo sets have them:
# names in text, badges, thin strokes, wide banners, tall pictures, mostly
# around 512 pixels, as PNGs of every kind (RGBA, palette with tRNS by
# pngquant, grey with alpha, RGB with a transparent colour, 16-bit,
# interlaced) and, every fourth, as SVG text.  The same SEED gives the same
# pixels.  Prints one line a logo: FILE KIND WIDTH HEIGHT (KIND png or svg).
# Needs ImageMagick's convert and pngquant.
# usage: logogen.sh DIR COUNT [SEED]
set -euo pipefail
dir=${1:?usage: logogen.sh DIR COUNT [SEED]}
count=${2:?usage: logogen.sh DIR COUNT [SEED]}
state=${3:-1}
mkdir -p "$dir"

# Our own generator: bash's RANDOM is not the same sequence in every version.
rnd() { # rnd N: r = 0 ... N-1
  state=$(((state * 1103515245 + 12345) % 2147483648))
  r=$(((state >> 8) % $1))
}
pick() { # pick WORD...: p = one of them
  rnd $#
  local a=("$@")
  p=${a[r]}
}
names=("SPORT 1" "NEWS 24" "KINO+" "DOKU" "MUSIK HD" "KIDS" "TELE 5" "NORD 3" "Reise TV"
  "CINE" "Wetter" "Jazz" "24/7" "Regio" "INFO" "Klassik" "ALPHA" "Heimat" "Serie" "Comedy"
  "FILM 2" "Lokal" "Natur" "Auto TV")
colours=("#e03020" "#1f4fa8" "#f2b705" "#0a8f3c" "#ffffff" "#d81b60" "#00a3e0" "#6a1b9a"
  "#ff6f00" "#222222" "#9e9e9e" "#00897b")
fonts=(DejaVu-Sans DejaVu-Sans-Bold DejaVu-Serif-Bold DejaVu-Sans-Condensed-Bold
  DejaVu-Sans-ExtraLight DejaVu-Sans-Bold-Oblique)

png_logo() { # png_logo FILE: draws one logo, w and h its size
  local out=$1 kind c1 c2 font text fin
  fin=(-strip -depth 8 "PNG32:$out")
  pick "${colours[@]}" && c1=$p
  pick "${colours[@]}" && c2=$p
  [ "$c2" != "$c1" ] || c2="#ffffff"
  pick "${fonts[@]}" && font=$p
  pick "${names[@]}" && text=$p
  rnd 8 && kind=$r
  case $kind in
  0 | 1) # a name on its own
    rnd 200 && w=$((400 + r)) && rnd 80 && h=$((100 + r))
    convert -size ${w}x$h -background none -fill "$c1" -stroke "$c2" -strokewidth 1 \
      -font "$font" -gravity center label:"$text" "${fin[@]}" ;;
  2) # a rounded badge with a gradient and the name on it
    rnd 160 && w=$((420 + r)) && h=$((w * 3 / 5))
    convert -size ${w}x$h gradient:"$c1-$c2" -alpha set \
      \( -size ${w}x$h xc:none -fill white -draw "roundrectangle 8,8 $((w - 9)),$((h - 9)) 40,40" \) \
      -compose DstIn -composite -compose Over \
      -fill white -stroke black -strokewidth 2 -font "$font" -pointsize $((h / 3)) \
      -gravity center -annotate +0+0 "$text" "${fin[@]}" ;;
  3) # thin strokes: rings and a light name
    rnd 300 && w=$((300 + r)) && h=$w
    convert -size ${w}x$h xc:none -fill none -stroke "$c1" -strokewidth 3 \
      -draw "circle $((w / 2)),$((h / 2)) $((w / 2)),$((h / 12))" -strokewidth 2 \
      -draw "ellipse $((w / 2)),$((h / 2)) $((w / 3)),$((h / 6)) 0,360" -stroke none \
      -fill "$c2" -font DejaVu-Sans-ExtraLight -pointsize $((h / 7)) -gravity center \
      -annotate +0+0 "$text" "${fin[@]}" ;;
  4) # a wide banner
    pick 512x70 400x100 1024x140 600x80 && w=${p%x*} && h=${p#*x}
    convert -size ${w}x$h xc:none -fill "$c1" -draw "rectangle 0,$((h / 5)) $((w - 1)),$((h * 4 / 5))" \
      -fill "$c2" -font "$font" -pointsize $((h / 2)) -gravity center -annotate +0+0 "$text" "${fin[@]}" ;;
  5) # a tall picture with rounded corners
    rnd 200 && h=$((400 + r * 3)) && w=$((h * 2 / 5))
    rnd 1000
    convert -size ${w}x$h -seed $r plasma:"$c1-$c2" -blur 0x2 -alpha set \
      \( -size ${w}x$h xc:none -fill white -draw "roundrectangle 0,0 $((w - 1)),$((h - 1)) 30,30" \) \
      -compose DstIn -composite "${fin[@]}" ;;
  6) # an opaque picture with the name across it
    fin=(-strip -depth 8 "PNG24:$out")
    rnd 200 && w=$((420 + r)) && h=$((w * 3 / 4))
    rnd 1000
    convert -size ${w}x$h -seed $r plasma:"$c1-$c2" -blur 0x3 -fill white -stroke black \
      -font "$font" -pointsize $((h / 5)) -gravity south -annotate +0+$((h / 10)) "$text" "${fin[@]}" ;;
  7) # a number in a disc
    rnd 3 && text=$((r * 7 + 1))
    rnd 200 && w=$((200 + r)) && h=$w
    convert -size ${w}x$h xc:none -fill "$c1" -draw "circle $((w / 2)),$((h / 2)) $((w / 2)),2" \
      -fill "$c2" -font DejaVu-Sans-Bold -pointsize $((h * 3 / 5)) -gravity center \
      -annotate +0+0 "$text" "${fin[@]}" ;;
  esac
}

# Stored as: 30% palette, 10% grey with alpha, 10% RGB with a transparent
# colour, 15% interlaced, 5% 16-bit, the rest 8-bit RGBA.
png_store() { # png_store FILE
  local f=$1
  rnd 20
  case $r in
  [0-5]) pngquant --force --output "$f.q" 64 -- "$f" && mv "$f.q" "$f" ;;
  6 | 7) convert "$f" -colorspace Gray -strip -define png:color-type=4 "$f" ;;
  8 | 9) convert "$f" -strip PNG24:"$f" ;;
  1[0-2]) convert "$f" -strip -depth 8 -interlace PNG "$f" ;;
  13) convert "$f" -strip -depth 16 PNG64:"$f" ;;
  *) convert "$f" -strip -depth 8 PNG32:"$f" ;;
  esac
}

svg_logo() { # svg_logo FILE: w and h its size
  local out=$1 c1 c2 text kind vb
  pick "${colours[@]}" && c1=$p
  pick "${colours[@]}" && c2=$p
  [ "$c2" != "$c1" ] || c2="#ffffff"
  pick "${names[@]}" && text=$p
  text=${text//&/&amp;}
  rnd 4 && kind=$r
  case $kind in
  0) # a name with a gradient, slightly turned
    rnd 200 && w=$((400 + r)) && h=$((w / 4))
    vb="0 0 $w $h"
    body="<defs><linearGradient id=\"g\" x1=\"0\" y1=\"0\" x2=\"1\" y2=\"1\">
<stop offset=\"0\" stop-color=\"$c1\"/><stop offset=\"1\" stop-color=\"$c2\"/></linearGradient></defs>
<g transform=\"rotate(-4 $((w / 2)) $((h / 2)))\"><text x=\"$((w / 2))\" y=\"$((h * 7 / 10))\"
font-family=\"DejaVu Sans\" font-weight=\"bold\" font-size=\"$((h * 3 / 5))\" text-anchor=\"middle\"
fill=\"url(#g)\" stroke=\"#000\" stroke-width=\"2\">$text</text></g>" ;;
  1) # a round badge, drawn in a unit box and scaled
    rnd 200 && w=$((300 + r)) && h=$w
    vb="0 0 100 100"
    body="<defs><radialGradient id=\"r\" cx=\"0.4\" cy=\"0.35\" r=\"0.7\">
<stop offset=\"0\" stop-color=\"#fff\"/><stop offset=\"0.6\" stop-color=\"$c1\"/>
<stop offset=\"1\" stop-color=\"$c2\"/></radialGradient></defs>
<circle cx=\"50\" cy=\"50\" r=\"47\" fill=\"url(#r)\" stroke=\"$c2\" stroke-width=\"2\"/>
<g transform=\"translate(50 58) scale(0.9 1)\"><text font-family=\"DejaVu Sans\" font-size=\"22\"
font-weight=\"bold\" text-anchor=\"middle\" fill=\"#fff\">$text</text></g>" ;;
  2) # a wide banner whose viewBox is half its size
    pick 600x200 512x128 800x160 && w=${p%x*} && h=${p#*x}
    vb="0 0 $((w / 2)) $((h / 2))"
    body="<rect x=\"2\" y=\"2\" width=\"$((w / 2 - 4))\" height=\"$((h / 2 - 4))\" rx=\"12\"
fill=\"$c1\" stroke=\"$c2\" stroke-width=\"3\"/>
<text x=\"$((w / 4))\" y=\"$((h / 4 + h / 12))\" font-family=\"DejaVu Serif\" font-size=\"$((h / 5))\"
text-anchor=\"middle\" fill=\"$c2\">$text</text>" ;;
  3) # thin strokes: an outlined shape and a light name
    rnd 300 && w=$((300 + r)) && h=$((w * 2 / 3))
    vb="0 0 $w $h"
    body="<g fill=\"none\" stroke=\"$c1\" stroke-width=\"1.5\">
<path d=\"M $((w / 10)) $((h / 2)) Q $((w / 2)) 0 $((w * 9 / 10)) $((h / 2)) T $((w / 10)) $((h / 2)) Z\"/>
<ellipse cx=\"$((w / 2))\" cy=\"$((h / 2))\" rx=\"$((w * 2 / 5))\" ry=\"$((h / 3))\" transform=\"skewX(-10)\"/></g>
<text x=\"$((w / 2))\" y=\"$((h * 3 / 5))\" font-family=\"DejaVu Sans\" font-weight=\"200\"
font-size=\"$((h / 5))\" text-anchor=\"middle\" fill=\"$c2\">$text</text>" ;;
  esac
  printf '<?xml version="1.0" encoding="UTF-8"?>\n<svg xmlns="http://www.w3.org/2000/svg" width="%s" height="%s" viewBox="%s">\n%s\n</svg>\n' \
    "$w" "$h" "$vb" "$body" >"$out"
}

for ((n = 0; n < count; ++n)); do
  if ((n % 4 == 3)); then
    f=$(printf '%s/logo-%03d.svg' "$dir" "$n")
    svg_logo "$f"
    echo "$f svg $w $h"
  else
    f=$(printf '%s/logo-%03d.png' "$dir" "$n")
    png_logo "$f"
    png_store "$f"
    echo "$f png $w $h"
  fi
done
