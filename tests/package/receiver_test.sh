#!/usr/bin/env bash
# The receiver's package: the plug-in as built less its debug sections, the
# install text, the default settings and the licences, under one folder
# named after the version; the debug package beside it holds what was
# stripped.
# usage: receiver_test.sh BUILD_DIR VERSION VELUMO.so TAPSIM SOURCE_DIR LIBTAP.so
# (TAPSIM_EMULATOR names qemu, OBJCOPY and READELF the receiver's binutils)
set -u
build=$1 version=$2 plugin=$3 tapsim=$4 top=$5 libtap=$6
objcopy=${OBJCOPY:-objcopy} readelf=${READELF:-readelf}
export OBJCOPY=$objcopy
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0 passed=0
. "$(dirname "$0")/../support/check.sh"

name=velumo-$version-receiver
debugname=$name-debug
package() { # package OUT_DIR
  mkdir -p "$1"
  bash "$top/cmake/receiver/package.sh" "$1/$name.tar.gz" "$1/$debugname.tar.gz" "$plugin" "$tapsim" "$top"
}
if ! package "$work" >"$work/log" 2>&1; then
  cat "$work/log"
  echo "FAILED: package.sh"
  exit 1
fi
listing=$(tar -tzf "$work/$name.tar.gz" | sort)
check "the files: $(echo $listing)" test "$listing" = "$(sort <<EOF
$name/
$name/INSTALL.txt
$name/LICENSE
$name/OFL.txt
$name/Velumo.ini
$name/Velumo.so
EOF
)"
listing=$(tar -tzf "$work/$debugname.tar.gz" | sort)
check "the debug files: $(echo $listing)" test "$listing" = "$(sort <<EOF
$debugname/
$debugname/LICENSE
$debugname/Velumo.so.debug
EOF
)"
tar -xzf "$work/$name.tar.gz" -C "$work"
tar -xzf "$work/$debugname.tar.gz" -C "$work"
so=$work/$name/Velumo.so debug=$work/$debugname/Velumo.so.debug
check "LICENSE is the repository's" cmp -s "$top/LICENSE" "$work/$name/LICENSE"
check "OFL.txt is the repository's" cmp -s "$top/toolkit/fonts/OFL.txt" "$work/$name/OFL.txt"
check "the debug package's LICENSE is the repository's" cmp -s "$top/LICENSE" "$work/$debugname/LICENSE"

# The shipped plug-in: no debug sections, and what a loader reads is the
# built plug-in's, byte for byte.
sections() { LC_ALL=C $readelf -SW "$1" | sed -n 's/^ *\[ *[0-9]*\] \([^ ]*\).*/\1/p'; }
check "Velumo.so has no debug sections ($(sections "$so" | grep '^\.debug' | tr '\n' ' '))" \
  test -z "$(sections "$so" | grep '^\.debug')"
check "Velumo.so ($(stat -c %s "$so") bytes) is smaller than the built one ($(stat -c %s "$plugin"))" \
  test "$(stat -c %s "$so")" -lt "$(stat -c %s "$plugin")"
image() { "$objcopy" -O binary "$1" "$2" && [ -s "$2" ]; }
check "Velumo.so loads the built plug-in's bytes (every loaded section)" \
  eval 'image "$plugin" "$work/built.bin" && image "$so" "$work/shipped.bin" &&
    cmp -s "$work/built.bin" "$work/shipped.bin"'
check "Velumo.so: the program headers are the built one's" \
  test "$(LC_ALL=C $readelf -lW "$so")" = "$(LC_ALL=C $readelf -lW "$plugin")"
# The symbol table stays: every function and object keeps its name.
symbols() { LC_ALL=C $readelf -sW "$1" | sed -n '/^Symbol table .\.symtab/,$p' |
  awk '$4 == "FUNC" || $4 == "OBJECT" { print $2, $3, $4, $5, $8 }' | sort; }
symbols "$plugin" >"$work/built.syms"
symbols "$so" >"$work/shipped.syms"
check "Velumo.so keeps all $(wc -l <"$work/built.syms") function and object symbols" \
  eval '[ -s "$work/built.syms" ] && cmp -s "$work/built.syms" "$work/shipped.syms"'
abi=$(READELF=$readelf bash "$top/cmake/receiver/abicheck.sh" -r -l "$top/cmake/receiver/libc.list" \
  -t "$libtap" -m "$top/cmake/receiver/Velumo.map" -v "$version" "$so" 2>&1)
rc=$?
check "Velumo.so passes the ABI check: $abi" test $rc = 0

# The debug file carries the built plug-in's debug information, and the
# shipped plug-in names it with the checksum of its bytes (.gnu_debuglink:
# the name, NULs to a multiple of 4, a little-endian CRC-32, the one gzip
# writes into its trailer).
dump() { "$objcopy" --dump-section "$2=$3" "$1" "$work/dumped.o" 2>/dev/null && [ -s "$3" ]; }
check "Velumo.so.debug: .debug_info is the built one's" \
  eval 'dump "$plugin" .debug_info "$work/built.info" && dump "$debug" .debug_info "$work/debug.info" &&
    cmp -s "$work/built.info" "$work/debug.info"'
link=$(dump "$so" .gnu_debuglink "$work/link" && od -An -v -tx1 "$work/link" | tr -d ' \n')
want=$(printf 'Velumo.so.debug\0' | od -An -v -tx1 | tr -d ' \n')$(gzip -c "$debug" | tail -c 8 | head -c 4 |
  od -An -v -tx1 | tr -d ' \n')
check "Velumo.so's debug link names Velumo.so.debug and its CRC ($link)" test "$link" = "$want"

ini=$work/$name/Velumo.ini
for line in ShowError=0 ShowTrans=0 TestBG=ff101010 ExitKey=40 PathCur=1 Sort=0 Debug=0; do
  check "Velumo.ini: $line" grep -qxE "$line"$'\r?' "$ini"
done
check "Velumo.ini: the built-in folders" grep -q '^Path01=/' "$ini"

install=$work/$name/INSTALL.txt
for text in /ProgramFiles /ProgramFiles/Settings/Velumo Velumo.ini Velumo.log Removing Entfernen; do
  check "INSTALL.txt: $text" grep -qF "$text" "$install"
done
check "INSTALL.txt: plain ASCII, lines of at most 78 characters" \
  eval '! LC_ALL=C grep -qn "[^ -~]" "$install" && ! LC_ALL=C grep -qE "^.{79}" "$install"'
# Each half lists every key the plug-in wrote, as Key=default at the start of
# an entry; Path01 to PathNN are one entry that names the last one and the
# number of folders the plug-in filled in.
german='^Velumo - Senderlogos auf dem Receiver$'
sed "/$german/,\$d" "$install" >"$work/en.txt"
sed -n "/$german/,\$p" "$install" >"$work/de.txt"
tr -d '\r' <"$ini" >"$work/ini"
last=$(grep -o '^Path[0-9][0-9]' "$work/ini" | tail -n1)
filled=$(grep -c '^Path[0-9][0-9]=.' "$work/ini")
for half in en de; do
  text=$work/$half.txt
  check "INSTALL.txt ($half): the half is there" test -s "$text"
  while IFS='=' read -r key value || [ -n "$key" ]; do
    case $key in
    Path01)
      entry=$(awk '/^  +Path01=/ { on = 1; print; next } on && /^  [^ ]/ { exit } on' "$text")
      check "INSTALL.txt ($half): Path01=, $last, $filled folders" \
        eval '[ -n "$entry" ] && grep -qw "$last" <<<"$entry" && grep -qw "$filled" <<<"$entry"' ;;
    Path[0-9][0-9]) ;;
    *) check "INSTALL.txt ($half): $key=$value" grep -qE "^  +$key=$value( |\$)" "$text" ;;
    esac
  done <"$work/ini"
done
for text in LICENSE OFL.txt Velumo.so.debug; do
  check "INSTALL.txt: $text in both halves" eval 'grep -qF "$text" "$work/en.txt" && grep -qF "$text" "$work/de.txt"'
done

# The same files give the same bytes.
package "$work/again" >/dev/null 2>&1
check "made again: the same bytes" cmp -s "$work/$name.tar.gz" "$work/again/$name.tar.gz"
check "made again: the same debug bytes" cmp -s "$work/$debugname.tar.gz" "$work/again/$debugname.tar.gz"

echo "receiver_test: $passed passed, $failures failed"
[ $failures = 0 ]
