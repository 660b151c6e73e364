#!/usr/bin/env bash
# Makes the desktop's Debian package from what 'cmake --install' puts under
# /usr, with dpkg-deb, laid out as Debian's own packages are (lintian finds
# nothing to say about it).
#   deb.sh BUILD_DIR OUT_DIR VERSION
set -euo pipefail
build=$1 out=$2 version=$3
here=$(cd "$(dirname "$0")" && pwd)
top=$(dirname "$here")
arch=$(dpkg --print-architecture)
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
maintainer='The Velumo developers <developers@velumo.org>'
deb=$out/velumo_${version}_$arch.deb
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root=$work/root

DESTDIR=$root cmake --install "$build" --prefix /usr >"$work/install.log" || {
  cat "$work/install.log" >&2
  exit 1
}
# Programs and libraries without their debugging information.
find "$root/usr/bin" "$root/usr/lib/velumo" -type f -exec strip --strip-unneeded -R .comment {} +
find "$root/usr/lib" -maxdepth 1 -name '*.a' -exec strip --strip-debug -R .comment {} +

# The library and its pkg-config file in the multiarch folder, where
# pkg-config finds them for this architecture only.
lib=$root/usr/lib/$multiarch
mkdir -p "$lib/pkgconfig"
mv "$root/usr/lib/libijenc.a" "$lib/"
sed -e 's|^prefix=${pcfiledir}/../..$|prefix=${pcfiledir}/../../..|' \
  -e "s|^libdir=\${prefix}/lib\$|libdir=\${prefix}/lib/$multiarch|" \
  "$root/usr/lib/pkgconfig/ijenc.pc" >"$lib/pkgconfig/ijenc.pc"
rm -r "$root/usr/lib/pkgconfig"
grep -qx "libdir=\${prefix}/lib/$multiarch" "$lib/pkgconfig/ijenc.pc" &&
  grep -qx 'prefix=${pcfiledir}/../../..' "$lib/pkgconfig/ijenc.pc" || {
  echo "deb.sh: ijenc.pc has no relative prefix and libdir to move" >&2
  exit 1
}

# Man pages compressed; the sample disk as a tar (see postinst).
gzip -9n "$root/usr/share/man/man1/"*.1
tar --sort=name --owner=0 --group=0 --numeric-owner --mtime=@0 --mode=u=rwX,go=rX \
  -C "$root/usr/share/velumo" -cf "$root/usr/share/velumo/disk.tar" disk
rm -r "$root/usr/share/velumo/disk"

# The licences and the changelog, whose newest entry must be this version.
doc=$root/usr/share/doc/velumo
mkdir -p "$doc"
license() { # license NAME FILE: a DEP-5 licence paragraph of FILE's text
  echo
  echo "License: $1"
  sed -e 's/^$/./' -e 's/^/ /' "$2"
}
{
  cat "$here/debian/copyright.in"
  license MIT <(sed '1{/^MIT License$/d}' "$top/LICENSE" | sed '1{/^$/d}')
  license OFL-1.1 "$top/toolkit/fonts/OFL.txt"
} >"$doc/copyright"
entry=$(sed -n '1s/^velumo (\([^)]*\)).*/\1/p' "$here/debian/changelog")
if [ "$entry" != "$version" ]; then
  echo "deb.sh: cmake/debian/changelog starts with version '$entry', not $version" >&2
  exit 1
fi
# A package of the project's own version (no Debian revision) has its
# changelog as changelog.gz.
gzip -9n <"$here/debian/changelog" >"$doc/changelog.gz"

# The libraries the programs need, as Debian's packages provide them;
# libtap.so is this package's own.
mkdir -p "$work/debian"
printf 'Source: velumo\n\nPackage: velumo\nArchitecture: any\n' >"$work/debian/control"
depends=$(cd "$work" && dpkg-shlibdeps -O -l"$root/usr/lib/velumo" --ignore-missing-info \
  "$root/usr/bin/"* "$root/usr/lib/velumo/"*.so 2>/dev/null | sed -n 's/^shlibs:Depends=//p')

mkdir -p "$root/DEBIAN"
install -m 755 "$here/debian/postinst" "$here/debian/prerm" "$root/DEBIAN/"
(cd "$root" && find usr -type f -print0 | sort -z | xargs -0 md5sum) >"$root/DEBIAN/md5sums"
cat >"$root/DEBIAN/control" <<CONTROL
Package: velumo
Version: $version
Architecture: $arch
Maintainer: $maintainer
Installed-Size: $(($(du -sk --exclude=DEBIAN "$root" | cut -f1) + $(du -sk "$root/usr/share/velumo/disk.tar" | cut -f1)))
Depends: $depends
Recommends: pkg-config, gcc | c-compiler
Section: graphics
Priority: optional
Description: channel logo plug-in for TMS receivers: desktop tools and simulator
 Velumo is a plug-in for TMS receivers that browses and converts channel
 logos.  This package holds its desktop side:
  - logoconv, which converts logo files and folders into the receiver's
    formats with the plug-in's own code;
  - jpgcmd, a BMP to JPEG converter;
  - the ijenc JPEG encoder library (libijenc.a, ijenc.h and the pkg-config
    file ijenc);
  - tapsim, a stand-in of the receiver's firmware, with the plug-in built
    for this computer in /usr/lib/velumo and a sample disk of logos in
    /usr/share/velumo/disk.
CONTROL
mkdir -p "$out"
dpkg-deb --root-owner-group -Zxz --build "$root" "$deb.tmp" >/dev/null
mv "$deb.tmp" "$deb"
echo "$deb"
