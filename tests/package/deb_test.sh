#!/usr/bin/env bash
# The desktop package: deb.sh makes it from the build and lintian finds
# nothing to say about it; dpkg -x unpacks it into a scratch root, and there
# jpgcmd answers --help, logoconv converts a logo, tapsim runs the packaged
# plug-in on the packaged sample disk laid out as postinst does, and
# pkg-config's flags for ijenc build the example program, which writes a JPEG.
# usage: deb_test.sh BUILD_DIR VERSION EXAMPLE.c DEB_SH
set -u
build=$1 version=$2 example=$3 debsh=$4
top=$(cd "$(dirname "$debsh")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0 passed=0
. "$(dirname "$0")/../support/check.sh"

if ! bash "$debsh" "$build" "$work/out" "$version" >"$work/deb.log" 2>&1; then
  cat "$work/deb.log"
  echo "FAILED: deb.sh"
  exit 1
fi
arch=$(dpkg --print-architecture)
deb=$work/out/velumo_${version}_$arch.deb
check "the package is named velumo_${version}_$arch.deb" test -f "$deb"
[ -f "$deb" ] || exit 1
check "control: package velumo" test "$(dpkg-deb -f "$deb" Package)" = velumo
check "control: version $version" test "$(dpkg-deb -f "$deb" Version)" = "$version"
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libc6 libpng16-16 libjpeg62-turbo zlib1g; do
  check "control: depends on $lib ($depends)" grep -q "\b$lib\b" <<<"$depends"
done

# Debian's own checks: no error, no warning (information is not shown).
if command -v lintian >/dev/null; then
  lintian --fail-on error,warning "$deb" >"$work/lintian.out" 2>"$work/lintian.err"
  rc=$?
  check "lintian: nothing to say (exit $rc: $(cat "$work/lintian.out" "$work/lintian.err"))" \
    test $rc = 0 -a ! -s "$work/lintian.out"
else
  skip_or_fail lintian
fi

root=$work/root
dpkg -x "$deb" "$root"
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
pc=$root/usr/lib/$multiarch/pkgconfig
for f in bin/jpgcmd bin/tapsim bin/logoconv lib/velumo/libtap.so lib/velumo/Velumo.so lib/$multiarch/libijenc.a \
  include/ijenc.h lib/$multiarch/pkgconfig/ijenc.pc share/man/man1/jpgcmd.1.gz share/man/man1/tapsim.1.gz \
  share/man/man1/logoconv.1.gz share/velumo/disk.tar share/doc/velumo/copyright share/doc/velumo/changelog.gz; do
  check "contains /usr/$f" test -f "$root/usr/$f"
done
check "the man pages read" man -l "$root/usr/share/man/man1/tapsim.1.gz" >/dev/null 2>&1
check "the changelog's newest entry is $version" \
  test "$(zcat "$root/usr/share/doc/velumo/changelog.gz" | head -1 | cut -d' ' -f2)" = "($version)"

# The licence paragraphs of the copyright file are the project's licence
# files, word for word.
paragraph() { # the text of the copyright file's stand-alone licence paragraph $1
  awk -v name="$1" 'prev == "" && $0 == "License: " name { on = 1; next } on && /^$/ { exit }
    on { sub(/^ /, ""); if ($0 == ".") $0 = ""; print } { prev = $0 }' "$root/usr/share/doc/velumo/copyright"
}
check "copyright: the MIT licence is LICENSE's" cmp -s <(paragraph MIT) <(sed '1,2d' "$top/LICENSE")
check "copyright: the fonts' OFL-1.1 is OFL.txt" cmp -s <(paragraph OFL-1.1) "$top/toolkit/fonts/OFL.txt"
check "copyright: the fonts' files are OFL-1.1" \
  grep -qPz 'Files: toolkit/fonts/\*\nCopyright: [^\n]*Reserved Font Name "Carlito"[^\n]*\nLicense: OFL-1.1\n' \
  "$root/usr/share/doc/velumo/copyright"

# The sample disk, laid out as postinst does: every file of the build's disk
# under its real name, the ISO-8859-1 ones too.
grep -qF 'tar -xf /usr/share/velumo/disk.tar -C /usr/share/velumo' <(dpkg-deb -I "$deb" postinst)
check "postinst lays out the sample disk" test $? = 0
tar -xf "$root/usr/share/velumo/disk.tar" -C "$work"
check "the sample disk's files are the build's" \
  test "$(cd "$work/disk" && find . ! -name .complete | LC_ALL=C sort | md5sum)" = \
  "$(cd "$build/sample-disk" && find . ! -name .complete | LC_ALL=C sort | md5sum)"
for name in $'\xc4rzte TV.qtl' $'\xd6ffentlich.png'; do
  check "the sample disk has its ISO-8859-1 name $(iconv -f latin1 <<<"$name")" \
    test -f "$work/disk/ProgramFiles/Settings/Logos/trans-black/169/$name"
done

# jpgcmd
"$root/usr/bin/jpgcmd" --help >"$work/help" 2>&1
check "jpgcmd --help: exit 0" test $? = 0
check "jpgcmd --help: usage" grep -q '^usage: jpgcmd ' "$work/help"
check "jpgcmd --version: $version" test "$("$root/usr/bin/jpgcmd" --version)" = "jpgcmd (Velumo) $version"

# logoconv on a copy of one packaged logo.
mkdir -p "$work/conv"
cp "$(find "$work/disk" -name '*.qtl' | head -1)" "$work/conv/logo.qtl"
"$root/usr/bin/logoconv" bll "$work/conv" >"$work/conv.out" 2>&1
check "logoconv: exit 0 ($(cat "$work/conv.out"))" test $? = 0
check "logoconv: the BLL written" test -s "$work/conv/logo.bll"

# tapsim with the packaged plug-in, found through its own run path, on the
# sample disk.
check "tapsim --version: $version" test "$("$root/usr/bin/tapsim" --version)" = "tapsim (Velumo) $version"
printf 'idle\nkey Down\nshot list.png\nkey Stop\n' |
  env -u LD_LIBRARY_PATH "$root/usr/bin/tapsim" --disk "$work/disk" --clock "2012-02-17 09:00:00" \
    --script - --shots "$work" --strict "$root/usr/lib/velumo/Velumo.so" >"$work/out.txt" 2>"$work/err.txt"
rc=$?
check "tapsim: exit 0 (got $rc: $(cat "$work/err.txt"))" test $rc = 0
check "tapsim: the plug-in ended itself" grep -q 'Velumo.so: exited (TAP_Exit).*heap blocks held: 0' "$work/err.txt"
check "tapsim: a screenshot" test -s "$work/list.png"
check "tapsim: the log names the version" \
  grep -q "Programmstart Velumo V$version" "$work/disk/ProgramFiles/Settings/Velumo/Velumo.log"
check "tapsim: no library of the build tree used" \
  test -z "$(readelf -d "$root/usr/bin/tapsim" | grep -F "$build")"

# pkg-config and the example program.
flags=$(PKG_CONFIG_PATH="$pc" pkg-config --cflags --libs ijenc)
check "pkg-config --libs ijenc: exit 0" test $? = 0
set -- $flags
check "pkg-config: three flags ($flags)" test $# = 3 -a "${3:-}" = -lijenc
check "pkg-config: the packaged headers ($flags)" test "$(realpath -m "${1#-I}")" = "$(realpath "$root/usr/include")"
check "pkg-config: the packaged library ($flags)" \
  test "$(realpath -m "${2#-L}")" = "$(realpath "$root/usr/lib/$multiarch")"
check "pkg-config --modversion: $version" \
  test "$(PKG_CONFIG_PATH="$pc" pkg-config --modversion ijenc)" = "$version"
cc -o "$work/example" "$example" $flags 2>"$work/cc.err"
check "the example links ($(cat "$work/cc.err"))" test $? = 0
(cd "$work" && ./example ex.jpg >/dev/null)
check "the example runs" test $? = 0
check "the example wrote a JPEG" test "$(od -An -tx1 -N3 "$work/ex.jpg" 2>/dev/null | tr -d ' ')" = ffd8ff

echo "deb_test: $passed passed, $failures failed"
[ $failures = 0 ]
