#!/usr/bin/env bash
# Checks a built plug-in against what a receiver can load, from readelf's
# view of the file, and prints its size.  Every broken rule gets one line on
# standard error; the exit status is 1 when there was any.
#
#   abicheck.sh [-r LIBC_LIST -t LIBTAP.so] -m MAP -v VERSION PLUGIN.so
#
# Always: the exports are exactly the global names of the version script MAP,
# and the header sections have their sizes, the header its magic and the
# program version section "V" VERSION.
# With -r (the receiver build) also: ELF32, little-endian MIPS, o32, position
# independent, at most MIPS32 release 2 with hardware floating point and no
# ASE; NEEDED only libtap.so; no RPATH or RUNPATH; no
# versioned symbol; every undefined symbol either a TAP_* call that LIBTAP.so
# defines or a name of LIBC_LIST.
set -uo pipefail

readelf=${READELF:-readelf}
receiver=0 libc_list= libtap= map= version=
while getopts "rl:t:m:v:" opt; do
  case $opt in
  r) receiver=1 ;;
  l) libc_list=$OPTARG ;;
  t) libtap=$OPTARG ;;
  m) map=$OPTARG ;;
  v) version=$OPTARG ;;
  *) exit 2 ;;
  esac
done
shift $((OPTIND - 1))
if [ $# -ne 1 ] || [ -z "$map" ] || [ -z "$version" ] ||
  { [ $receiver = 1 ] && { [ -z "$libc_list" ] || [ -z "$libtap" ]; }; }; then
  echo "usage: abicheck.sh [-r -l LIBC_LIST -t LIBTAP.so] -m MAP -v VERSION PLUGIN.so" >&2
  exit 2
fi
so=$1
name=$(basename "$so")
errors=0
fail() {
  echo "abicheck: $name: $*" >&2
  errors=$((errors + 1))
}

if ! header=$(LC_ALL=C $readelf -hW "$so" 2>&1) || ! grep -q '^ELF Header' <<<"$header"; then
  echo "abicheck: $name: not an ELF file" >&2
  exit 1
fi
field() { sed -n "s/^ *$1: *//p" <<<"$header"; }

# Sections: name, type, offset, size, flags (readelf leaves the flags column
# empty when a section has none).
sections=$(LC_ALL=C $readelf -SW "$so" | sed -n 's/^ *\[ *[0-9]*\] //p' |
  awk '{ print $1, $2, $4, $5, (NF >= 10 ? $7 : "-") }')
section() { awk -v n="$1" '$1 == n' <<<"$sections"; }
bytes() { # the contents of section $1 as hex, one byte a word
  local s
  s=$(section "$1")
  [ -n "$s" ] || return
  od -An -v -tx1 -j $((16#$(awk '{print $3}' <<<"$s"))) -N $((16#$(awk '{print $4}' <<<"$s"))) "$so" |
    tr -s ' \n' ' ' | sed 's/^ //; s/ $//'
}

# The header sections the firmware reads.
while read -r sec size; do
  s=$(section "$sec")
  if [ -z "$s" ]; then
    fail "header section $sec is missing"
  elif [ $((16#$(awk '{print $4}' <<<"$s"))) -ne "$size" ]; then
    fail "header section $sec has $((16#$(awk '{print $4}' <<<"$s"))) bytes, not $size"
  fi
done <<'EOF'
._tap_header 32
._tap_id 4
._tap_program_name 64
._tap_program_version 64
._tap_author_name 64
._tap_description 128
._tap_etcinfo 64
EOF
magic=$(bytes ._tap_header | cut -d' ' -f1-12)
if [ -n "$magic" ] && [ "$magic" != "54 46 41 50 4d 49 50 53 10 00 00 00" ]; then
  fail "._tap_header does not begin with TFAPMIPS and 16"
fi
expected=$(printf 'V%s' "$version" | od -An -v -tx1 | tr -s ' \n' ' ' | sed 's/^ //; s/ $//')
got=$(bytes ._tap_program_version | sed 's/ 00.*//; s/^00.*//')
if [ -n "$(section ._tap_program_version)" ] && [ "$got" != "$expected" ]; then
  fail "._tap_program_version is not \"V$version\""
fi

# Exports: defined global or weak dynamic symbols, against the version script.
dynsyms=$(LC_ALL=C $readelf --dyn-syms -W "$so" | awk '$1 ~ /^[0-9]+:$/ && $8 != "" { print $5, $7, $8 }')
wanted=$(sed 's|/\*.*\*/||; s|/\*.*||; s|^.*\*/||' "$map" |
  awk '/global:/ { on = 1; next } /local:/ { on = 0 } on' | tr -s ' ;\t' '\n\n\n' | grep -v '^$' | sort -u)
exported=$(awk '$2 != "UND" && ($1 == "GLOBAL" || $1 == "WEAK") { sub(/@.*/, "", $3); print $3 }' <<<"$dynsyms" | sort -u)
for s in $(comm -13 <(echo "$wanted") <(echo "$exported")); do fail "exports $s"; done
for s in $(comm -23 <(echo "$wanted") <(echo "$exported")); do fail "does not export $s"; done

if [ $receiver = 1 ]; then
  [ "$(field Class)" = ELF32 ] || fail "class is $(field Class), not ELF32"
  [ "$(field Data)" = "2's complement, little endian" ] || fail "data is $(field Data), not little endian"
  [ "$(field Machine)" = "MIPS R3000" ] || fail "machine is $(field Machine), not MIPS"
  [ "$(field Type | cut -d' ' -f1)" = DYN ] || fail "type is $(field Type), not a shared object"
  flags=$(field Flags | cut -d, -f1)
  if [[ $flags =~ ^0x[0-9a-fA-F]+$ ]]; then
    f=$((flags))
    case $((f & 0xf0000000)) in
    $((0x00000000)) | $((0x10000000)) | $((0x50000000)) | $((0x70000000)) ) ;; # MIPS I, II, 32, 32r2
    *) fail "processor level $(field Flags) is above MIPS32 release 2" ;;
    esac
    [ $((f & 0x0000f000)) = $((0x1000)) ] || fail "ABI is not o32 ($(field Flags))"
    [ $((f & 0x0f000000)) = 0 ] || fail "needs an ASE such as MIPS16 or microMIPS ($(field Flags))"
    [ $((f & 0x400)) = 0 ] || fail "uses IEEE 754-2008 NaNs ($(field Flags))"
    [ $((f & 0x200)) = 0 ] || fail "needs 64-bit FPU registers ($(field Flags))"
    [ $((f & 0x6)) = 6 ] || fail "is not position independent ($(field Flags))"
  else
    fail "has no readable ELF flags"
  fi
  fp=$(LC_ALL=C $readelf -AW "$so" 2>/dev/null | sed -n 's/^ *FP ABI: *//p' | head -n1)
  case $fp in
  "" | "Hard float (double precision)" | "Hard float (32-bit CPU, Any FPU)") ;;
  *) fail "floating-point ABI is \"$fp\", not o32 hard float on 32-bit FPU registers" ;;
  esac

  dynamic=$(LC_ALL=C $readelf -dW "$so")
  needed=$(sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' <<<"$dynamic")
  for n in $needed; do [ "$n" = libtap.so ] || fail "needs $n"; done
  grep -q '(NEEDED).*\[libtap.so\]' <<<"$dynamic" || fail "does not need libtap.so"
  grep -q '(RPATH)\|(RUNPATH)' <<<"$dynamic" && fail "has a library search path: $(sed -n 's/.*(R[UN]*PATH).*\[\(.*\)\]/\1/p' <<<"$dynamic")"

  allowed=$( (grep -v '^ *#' "$libc_list" | awk 'NF { print $1 }'
    LC_ALL=C $readelf --dyn-syms -W "$libtap" | awk '$7 != "UND" && $8 ~ /^TAP_/ { sub(/@.*/, "", $8); print $8 }') | sort -u)
  while read -r bind ndx sym; do
    [ "$ndx" = UND ] || continue
    case $sym in *@*) fail "imports the versioned symbol $sym" ;; esac
    plain=${sym%%@*}
    grep -qx -- "$plain" <<<"$allowed" || fail "imports $plain, which is neither a TAP_* call nor in $(basename "$libc_list")"
  done <<<"$dynsyms"
fi

# The size, for the build's log (mawk has no hex numbers: bash adds them).
text=0 data=0 bss=0
while read -r _ type _ size flags; do
  case $flags in *A*) ;; *) continue ;; esac
  if [ "$type" = NOBITS ]; then bss=$((bss + 16#$size))
  elif [[ $flags == *X* ]]; then text=$((text + 16#$size))
  else data=$((data + 16#$size)); fi
done <<<"$sections"
echo "$name: $text bytes code, $data bytes data (read-only and writable), $bss bytes bss; file $(stat -c %s "$so") bytes"

if [ $errors -gt 0 ]; then
  echo "abicheck: $name: $errors problem(s)" >&2
  exit 1
fi
