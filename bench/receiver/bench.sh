#!/usr/bin/env bash
# What the plug-in's actions cost the receiver's CPU: runs the receiver build
# of tapsim and Velumo under qemu-user with the instruction meter, on
# generated folders of 10 and 4,999 logos, and prints one line per action:
# the guest instructions it took and the time that is at 300 M instructions a
# second (a receiver's CPU at its best).
#
# usage: bench.sh METER.so RECEIVER-BUILD-DIR
#
# The large PNG logos previewed at the end are written by benchpng, from the
# meter's build; their rows also show the most firmware heap the session held
# at once (tapsim's "heap peak").
#
# Every run is a whole tapsim session (start, one idle, the keys, stop) on a
# fresh copy of the disk.  An action costs what its run executes beyond the
# same run without it: opening a folder is measured against the baseline
# (10 logos, unsorted), a key against the session that led up to it.
# The clock is fixed and qemu runs with an empty environment, so a session
# counts the same every time to within a few hundred instructions (the random
# names of tapsim's temporary files); the table shows tenths of millions.
set -euo pipefail
meter=$(realpath "$1")
build=$(realpath "$2")
tapsim=$build/bin/tapsim
plugin=$build/bin/Velumo.so
for f in "$meter" "$tapsim" "$plugin"; do
  [ -f "$f" ] || { echo "bench-receiver: $f is missing" >&2; exit 1; }
done
emulator=(qemu-mipsel -L /usr/mipsel-linux-gnu)
rate=300000000 # instructions a second

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
. "$(dirname "$0")/disk.sh"

echo "bench-receiver: generating the disks" >&2
for n in 10 4999; do make_disk "$work/template-$n" "$n" 0; done
# A folder with one large PNG logo each: a palette picture and an interlaced
# RGBA one, 512 x 512.
benchpng=$(dirname "$meter")/benchpng
if [ -x "$benchpng" ]; then
  "$benchpng" "$work"
  for kind in palette interlaced; do
    make_disk "$work/template-$kind" 0 0
    cp "$work/$kind-512.png" "$work/template-$kind/$logo_folder/"
  done
fi

declare -A counted=() peaks=()

# count LOGOS SORT KEYS...: instructions of one session; a key "char:C"
# types C on the attached keyboard.
count() {
  local logos=$1 sort=$2
  shift 2
  local id="$logos|$sort|$*"
  if [ -z "${counted[$id]:-}" ]; then
    rm -rf "$work/disk" "$work/count"
    cp -a "$work/template-$logos" "$work/disk"
    printf 'Sort=%s\r\n' "$sort" >"$work/disk/ProgramFiles/Settings/Velumo/Velumo.ini"
    {
      echo idle
      local k
      for k in "$@"; do
        case $k in
        char:*) echo "char ${k#char:}" ;;
        *) echo "key $k" ;;
        esac
      done
      echo stop
    } >"$work/script.tsim"
    if ! env -i PATH="$PATH" "${emulator[@]}" -plugin "$meter,out=$work/count" "$tapsim" \
      --disk "$work/disk" --script "$work/script.tsim" --clock "2012-02-17 09:05:30" "$plugin" \
      >"$work/out" 2>"$work/err"; then
      echo "bench-receiver: tapsim failed on $logos logos, Sort=$sort, keys: $*" >&2
      cat "$work/err" >&2
      exit 1
    fi
    local word n
    read -r word n <"$work/count" || true
    [ "${word:-}" = instructions ] && [ -n "${n:-}" ] || {
      echo "bench-receiver: no count from the meter" >&2
      exit 1
    }
    counted[$id]=$n
    peaks[$id]=$(sed -n 's/.*heap peak: \([0-9]*\) bytes.*/\1/p' "$work/err" | tail -n 1)
  fi
  result=${counted[$id]}
  peak=${peaks[$id]:-?}
}

line() { # line LABEL INSTRUCTIONS
  awk -v label="$1" -v n="$2" -v rate="$rate" 'BEGIN {
    printf "%-48s %12.1f M %11.3f s\n", label, n / 1e6, n / rate }'
}

# row LABEL LOGOS SORT "SETUP KEYS" "MEASURED KEYS"
row() {
  local label=$1 logos=$2 sort=$3 setup=$4 keys=$5
  # shellcheck disable=SC2086 # keys are words
  count "$logos" "$sort" $setup
  local before=$result
  # shellcheck disable=SC2086
  count "$logos" "$sort" $setup $keys
  line "$label" $((result - before))
}

# peakrow LABEL LOGOS SORT "SETUP KEYS" "MEASURED KEYS": a row with the
# session's heap peak, and the peak of the session without the keys.
peakrow() {
  local label=$1 logos=$2 sort=$3 setup=$4 keys=$5
  # shellcheck disable=SC2086
  count "$logos" "$sort" $setup
  local before=$result before_peak=$peak
  # shellcheck disable=SC2086
  count "$logos" "$sort" $setup $keys
  line "$label" $((result - before))
  printf '  %-46s %12s B (%s B without it)\n' "heap peak of the session" "$peak" "$before_peak"
}

count 10 0
baseline=$result
printf '%-48s %14s %13s\n' action "instructions" "at 300 M/s"
line "baseline: start, idle, stop, 10 logos" "$baseline"
for n in 10 4999; do
  printf '\n%s logos\n' "$n"
  for s in "0 unsorted" "2 by name" "4 by date" "6 by type"; do
    count "$n" "${s%% *}"
    line "open, ${s#* } (Sort=${s%% *})" $((result - baseline))
  done
  row "Red (by name)" "$n" 0 "" Red
  row "Red again (reverse)" "$n" 0 Red Red
  row "Green (by date)" "$n" 0 "" Green
  row "Green again (reverse)" "$n" 0 Green Green
  row "Yellow (by type)" "$n" 0 "" Yellow
  row "Yellow again (reverse)" "$n" 0 Yellow Yellow
  row "Red on a list opened by name (reverse)" "$n" 2 "" Red
  row "cursor move (Down)" "$n" 0 "" Down
  row "page move (Right)" "$n" 0 "" Right
  row "detail view (OK)" "$n" 0 Down OK
  row "detail view: next logo (Down)" "$n" 0 "Down OK" Down
  k=1
  for t in "BLL" "BLL32" "PNG" "BMP" "BMP+JPEG" "54x34 QTL (refused: source is QTL)" \
    "36x22 QSL" "50x30 IBL"; do
    row "convert $k: $t" "$n" 0 Down "$k"
    k=$((k + 1))
  done
  row "rename (White, type x, Exit)" "$n" 0 Down "White char:x Exit"
  # A conversion refreshes the list, and a sorted list is sorted again.
  row "convert 3: PNG, on a list sorted by name" "$n" 2 Down 3
done

if [ -x "$benchpng" ]; then
  printf '\nlarge PNG logos, 512 x 512\n'
  peakrow "preview: palette PNG (Down)" palette 0 "" Down
  peakrow "preview: interlaced RGBA PNG (Down)" interlaced 0 "" Down
else
  echo "bench-receiver: no $benchpng, no rows for large PNG logos" >&2
fi
