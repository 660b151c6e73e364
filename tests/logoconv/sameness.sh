#!/usr/bin/env bash
# The plug-in in tapsim and logoconv --receiver convert every logo of the
# sample disk to every target; the files they write must be the same, byte
# for byte, and so must what they refuse.
# usage: sameness.sh TAPSIM VELUMO.SO MKSAMPLE LOGOCONV
tapsim=${1:?usage: sameness.sh TAPSIM VELUMO.SO MKSAMPLE LOGOCONV}
plugin=${2:?}
mksample=${3:?}
logoconv=${4:?}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
passed=0
written=0
. "$(dirname "$0")/targets.sh"
read_targets "$logoconv" || exit 1

"$mksample" "$work/sample" || exit 1
logos=$work/sample/ProgramFiles/Settings/Logos
mapfile -d '' sources < <(cd "$logos" && find . -type f -print0 | sort -z)
[ "${#sources[@]}" -ge 10 ] || {
  echo "FAILED: only ${#sources[@]} sample logos"
  exit 1
}

# logoconv: each target over a fresh copy of the whole tree.
for t in "${!targets[@]}"; do
  cp -a "$logos" "$work/lc-$t"
  "$logoconv" --receiver -r -j 2 "${targets[$t]}" "$work/lc-$t" >"$work/lc-$t.out" 2>&1
done

# The plug-in: one folder per logo, the cursor on it, the number key.
n=0
for src in "${sources[@]}"; do
  name=${src##*/}
  for t in "${!targets[@]}"; do
    disk=$work/disk-$n-$t
    mkdir -p "$disk/L" "$disk/ProgramFiles/Settings/Velumo"
    cp -p "$logos/$src" "$disk/L/"
    printf 'Path01=/L\r\nPathCur=1\r\nSort=0\r\n' >"$disk/ProgramFiles/Settings/Velumo/Velumo.ini"
    printf 'key Down\nkey %d\nkey Stop\n' "${keys[$t]}" >"$work/script"
    if ! "$tapsim" --disk "$disk" --script "$work/script" --clock "2012-02-17 09:05:30" --strict \
      "$plugin" >"$work/tapsim.out" 2>&1; then
      echo "FAILED: tapsim on $src, key ${keys[$t]}"
      cat "$work/tapsim.out"
      failures=$((failures + 1))
      continue
    fi
    # What each wrote beside the logo (logoconv writes the other logos'
    # targets beside it too: only this logo's base name counts).
    base=${name%.*}
    plug=$(cd "$disk/L" && find . -maxdepth 1 -type f ! -name "$name" -printf '%f\n' | sort)
    dir=$work/lc-$t/${src%/*}
    conv=$(cd "$dir" && find . -maxdepth 1 -type f -printf '%f\n' |
      while IFS= read -r f; do
        [ "$f" != "$name" ] && [ "${f%.*}" = "$base" ] && ! [ -e "$logos/${src%/*}/$f" ] &&
          echo "$f"
      done | sort)
    if [ "$plug" != "$conv" ]; then
      echo "FAILED: $src to ${targets[$t]}: the plug-in wrote [$plug], logoconv [$conv]"
      failures=$((failures + 1))
      continue
    fi
    ok=1
    while IFS= read -r f; do
      [ -n "$f" ] || continue
      cmp -s "$disk/L/$f" "$dir/$f" || {
        echo "FAILED: $src to ${targets[$t]}: $f differs"
        ok=0
      }
    done <<<"$plug"
    if [ $ok = 1 ]; then passed=$((passed + 1)); else failures=$((failures + 1)); fi
    [ -n "$plug" ] && written=$((written + 1))
    rm -rf "$disk"
  done
  n=$((n + 1))
done

echo "sameness: ${#sources[@]} logos x ${#targets[@]} targets: $passed the same ($written with files written), $failures different"
[ "$failures" = 0 ] && [ "$written" -gt 100 ]
