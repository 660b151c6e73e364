# Sourced by the receiver bench and its smoke test: makes a receiver disk
# with a folder of generated 16-bit raw logos (.qtl) in the plug-in's first
# built-in logo folder, and a settings file that asks for a sort order.
#
# make_disk DIR COUNT SORT
# The names are picon-like and chosen to give every sort its ties: names
# equal up to case, accented letters, and groups of files with the same date
# and size.  Everything is derived from the index, so a disk is the same on
# every machine.  Every name begins with a letter, so that the parent folder
# "< .. >" comes first both unsorted and sorted by name (ascending), and one
# Down puts the cursor on a logo.
logo_folder=ProgramFiles/Settings/Logos/trans-black/169

make_disk() {
  local dir=$1 count=$2 sort=$3
  local folder=$dir/$logo_folder
  rm -rf "$dir"
  mkdir -p "$folder" "$dir/ProgramFiles/Settings/Velumo"
  printf 'Sort=%s\r\n' "$sort" >"$dir/ProgramFiles/Settings/Velumo/Velumo.ini"

  # Three logo sizes; the pixels are a fixed gradient (opaque, 5-5-5 bits).
  local -a body
  local size w h x y
  for size in 0 1 2; do
    case $size in
    0) w=54 h=34 ;;
    1) w=50 h=30 ;;
    2) w=36 h=22 ;;
    esac
    body[size]=$(printf '\\x00\\x00\\x00\\x%02x\\x00\\x00\\x00\\x%02x' "$w" "$h")
    local row=
    for ((x = 0; x < w; ++x)); do row+=$(printf '\\x%02x\\x%02x' $((0x80 | (x & 0x1f) >> 1)) $(((x * 8) & 0xff))); done
    for ((y = 0; y < h; ++y)); do body[size]+=$row; done
  done

  local -a words=(Das-Erste ZDF arte Dreisat Sport Kinder Musik News Radio Kabel Sky Eurosport
    Bayern Hessen WDR NDR SWR MDR RBB Phoenix Tagesschau One Neo Info Comedy Doku Heimat
    Klassik Jazz Rock Pop Schlager Welt N24 Sat1 Pro7 RTL Vox Tele5 Servus Disney Nick)
  local -a accents=($'\xc4rzte' $'\xd6ko' $'\xdcber' $'Stra\xdfe' $'Caf\xe9' $'\xe9lan')
  local i name seed stamp
  local -A when=()
  for ((i = 0; i < count; ++i)); do
    seed=$(((i * 2654435761 + 12345) & 0x7fffffff))
    case $((seed % 10)) in
    0) name=${accents[seed / 10 % ${#accents[@]}]} ;;
    1) name=${words[seed / 10 % ${#words[@]}]^^} ;; # upper case: ties up to case
    2) name=${words[seed / 10 % ${#words[@]}],,} ;;
    *) name=${words[seed / 10 % ${#words[@]}]} ;;
    esac
    name="$name $((i % 997))"
    [ -e "$folder/$name.qtl" ] && name="$name-$i"
    printf "${body[seed / 7 % 3]}" >"$folder/$name.qtl"
    # About a hundred distinct dates, so dates tie as often as in an unpacked set.
    stamp=$((1325376000 + (seed / 3 % 100) * 86400 + (seed % 4) * 3600))
    when[$stamp]+="$name.qtl"$'\n'
  done
  (
    cd "$folder" || exit 1
    for stamp in "${!when[@]}"; do
      printf '%s' "${when[$stamp]}" | tr '\n' '\0' | xargs -0 touch -d "@$stamp"
    done
  )
}
