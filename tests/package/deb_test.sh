#!/usr/bin/env bash
# The desktop package: deb.sh makes it from the build, dpkg -x unpacks it into
# a scratch root, and there jpgcmd answers --help, logoconv converts a logo,
# tapsim runs the packaged plug-in on a copy of the packaged sample disk, and
# pkg-config's flags for ijenc build the example program, which writes a JPEG.
# usage: deb_test.sh BUILD_DIR VERSION EXAMPLE.c DEB_SH
set -u
build=$1 version=$2 example=$3 debsh=$4
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

root=$work/root
dpkg -x "$deb" "$root"
for f in bin/jpgcmd bin/tapsim bin/logoconv lib/velumo/libtap.so lib/velumo/Velumo.so lib/libijenc.a \
  include/ijenc.h lib/pkgconfig/ijenc.pc share/man/man1/jpgcmd.1 share/man/man1/tapsim.1 share/man/man1/logoconv.1 \
  share/velumo/disk/ProgramFiles; do
  check "contains /usr/$f" test -e "$root/usr/$f"
done
check "the sample disk has logos" test "$(find "$root/usr/share/velumo/disk" -name '*.qtl' | wc -l)" -gt 0
check "the man pages read" man -l "$root/usr/share/man/man1/tapsim.1" >/dev/null 2>&1

# jpgcmd
"$root/usr/bin/jpgcmd" --help >"$work/help" 2>&1
check "jpgcmd --help: exit 0" test $? = 0
check "jpgcmd --help: usage" grep -q '^usage: jpgcmd ' "$work/help"
check "jpgcmd --version: $version" test "$("$root/usr/bin/jpgcmd" --version)" = "jpgcmd (Velumo) $version"

# logoconv on a copy of one packaged logo.
mkdir -p "$work/conv"
cp "$(find "$root/usr/share/velumo/disk" -name '*.qtl' | head -1)" "$work/conv/logo.qtl"
"$root/usr/bin/logoconv" bll "$work/conv" >"$work/conv.out" 2>&1
check "logoconv: exit 0 ($(cat "$work/conv.out"))" test $? = 0
check "logoconv: the BLL written" test -s "$work/conv/logo.bll"

# tapsim with the packaged plug-in, found through its own run path, on a copy
# of the sample disk (the packaged one is read-only once installed).
check "tapsim --version: $version" test "$("$root/usr/bin/tapsim" --version)" = "tapsim (Velumo) $version"
cp -r "$root/usr/share/velumo/disk" "$work/disk"
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
flags=$(PKG_CONFIG_PATH="$root/usr/lib/pkgconfig" pkg-config --cflags --libs ijenc)
check "pkg-config --libs ijenc: exit 0" test $? = 0
set -- $flags
check "pkg-config: three flags ($flags)" test $# = 3 -a "${3:-}" = -lijenc
check "pkg-config: the packaged headers ($flags)" test "$(realpath -m "${1#-I}")" = "$(realpath "$root/usr/include")"
check "pkg-config: the packaged library ($flags)" test "$(realpath -m "${2#-L}")" = "$(realpath "$root/usr/lib")"
check "pkg-config --modversion: $version" \
  test "$(PKG_CONFIG_PATH="$root/usr/lib/pkgconfig" pkg-config --modversion ijenc)" = "$version"
cc -o "$work/example" "$example" $flags 2>"$work/cc.err"
check "the example links ($(cat "$work/cc.err"))" test $? = 0
(cd "$work" && ./example ex.jpg >/dev/null)
check "the example runs" test $? = 0
check "the example wrote a JPEG" test "$(od -An -tx1 -N3 "$work/ex.jpg" 2>/dev/null | tr -d ' ')" = ffd8ff

echo "deb_test: $passed passed, $failures failed"
[ $failures = 0 ]
