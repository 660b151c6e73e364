#!/bin/bash
# jpgcmd against libjpeg-turbo's cjpeg on the 4000 x 3000 picture of
# jpeg_encode, as whole processes (reading the BMP, encoding, writing the
# JPEG): wall time, best of RUNS, same quality and sampling, baseline,
# integer DCT.  Run by hand: bench/jpgcmd_cjpeg.sh [BUILD_DIR] [RUNS]; JPGCMD=PROGRAM
# times another jpgcmd (an older build, say) in place of BUILD_DIR's.
set -u
build=${1:-build}
runs=${2:-5}
jpgcmd=${JPGCMD:-$build/bin/jpgcmd}
command -v cjpeg >/dev/null || { echo "cjpeg is missing (libjpeg-turbo-progs)"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bin/jpeg_encode" --bmp "$work/in.bmp" || exit 1

best() { # best wall time in seconds of running "$@" $runs times
  local b="" t0 t1 t
  for ((i = 0; i < runs; ++i)); do
    t0=$(date +%s.%N)
    "$@" >/dev/null || return 1
    t1=$(date +%s.%N)
    t=$(echo "$t1 - $t0" | bc -l)
    if [ -z "$b" ] || (($(echo "$t < $b" | bc -l))); then b=$t; fi
  done
  echo "$b"
}

echo "4000 x 3000 BMP, wall time, best of $runs, $(nproc) processors"
for sampling in 411 444; do
  [ $sampling = 411 ] && factors=2x2 || factors=1x1
  for q in 50 90; do
    ours=$(best "$jpgcmd" "$work/in.bmp" "$work/ours.jpg" -q=$q -s=$sampling) || exit 1
    theirs=$(best cjpeg -baseline -dct int -quality $q -sample $factors \
      -outfile "$work/theirs.jpg" "$work/in.bmp") || exit 1
    printf "%s q%-3d jpgcmd %6.3f s  cjpeg %6.3f s  cjpeg/jpgcmd %.2f\n" $sampling $q \
      "$ours" "$theirs" "$(echo "$theirs / $ours" | bc -l)"
  done
done
