# shellcheck shell=bash
# measure.sh - what tests/logoconv/quality.sh and bench/logoconv/quality.sh
# share, sourced by both: the reference logo of a source and the SSIM of a
# converted set against the references.  Needs ImageMagick's convert,
# rsvg-convert and logossim (in $logossim).

# fit_box W H SW SH: fw x fh, the source's size fitted into W x H, and its
# place left, top on the canvas; the longer side (in proportion) fills the
# box, the other is rounded to the nearest pixel.
fit_box() {
  local W=$1 H=$2 sw=$3 sh=$4
  if ((sw * H >= sh * W)); then
    fw=$W fh=$(((2 * sh * W + sw) / (2 * sw)))
  else
    fh=$H fw=$(((2 * sw * H + sh) / (2 * sh)))
  fi
  ((fw >= 1)) || fw=1
  ((fh >= 1)) || fh=1
  left=$(((W - fw) / 2)) top=$(((H - fh) / 2))
}

# make_reference SRC KIND SW SH W H OUT: ImageMagick's premultiplied
# Lanczos-3 reduction of SRC to the fitted box in one step, placed by hand
# (-gravity center would put a box of odd margin a pixel lower or further
# right).  An SVG is drawn eight times as large by librsvg first.
make_reference() {
  local src=$1 kind=$2 W=$5 H=$6 out=$7
  fit_box "$W" "$H" "$3" "$4"
  if [ "$kind" = svg ]; then
    rsvg-convert -w $((8 * fw)) -h $((8 * fh)) -o "$out.big.png" "$src" || return 1
    src=$out.big.png
  fi
  convert -size "${W}x$H" xc:none \( "$src" -filter Lanczos -resize "${fw}x$fh!" \) \
    -geometry "+$left+$top" -composite -depth 8 PNG32:"$out" || return 1
  rm -f "$out.big.png"
}

# make_references MANIFEST W H DIR: DIR/NAME.png for every logo of the
# manifest (logogen.sh's lines: FILE KIND WIDTH HEIGHT), two at a time.
make_references() {
  local manifest=$1 W=$2 H=$3 dir=$4
  mkdir -p "$dir"
  export -f fit_box make_reference
  while read -r file kind sw sh; do
    local name=${file##*/}
    printf '%s\0' "$file" "$kind" "$sw" "$sh" "$W" "$H" "$dir/${name%.*}.png"
  done <"$manifest" | xargs -0 -n 7 -P 2 bash -c 'make_reference "$@"' _
}

# score MANIFEST REFS OUT EXT: one line a logo, "KIND SSIM BOX NAME", of
# OUT/NAME.EXT against REFS/NAME.png; a logo not written scores 0, box
# "none".
score() {
  local manifest=$1 refs=$2 out=$3 ext=$4 file kind name got
  while read -r file kind _; do
    name=${file##*/}
    name=${name%.*}
    if got=$("$logossim" "$out/$name.$ext" "$refs/$name.png" 2>/dev/null); then
      echo "$kind $got $name"
    else
      echo "$kind 0 none $name"
    fi
  done <"$manifest"
}

# summary SCORES: one line a kind, "KIND COUNT MEAN WORST-TENTH MIN
# WORST-NAME", the worst tenth being the mean of the lowest tenth (at least
# one).
summary() {
  sort -k1,1 -k2,2g "$1" | awk '
    function flush() {
      if (n == 0) return
      t = int((n + 9) / 10); s = 0
      for (i = 1; i <= t; ++i) s += v[i]
      printf "%s %d %.4f %.4f %.4f %s\n", kind, n, sum / n, s / t, v[1], worst
    }
    $1 != kind { flush(); kind = $1; n = 0; sum = 0; worst = $4 }
    { v[++n] = $2; sum += $2 }
    END { flush() }'
}
