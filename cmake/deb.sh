#!/usr/bin/env bash
# Makes the desktop's Debian package from what 'cmake --install' puts under
# /usr, with dpkg-deb.
#   deb.sh BUILD_DIR OUT_DIR VERSION
set -euo pipefail
build=$1 out=$2 version=$3
arch=$(dpkg --print-architecture)
deb=$out/velumo_${version}_$arch.deb
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root=$work/root

DESTDIR=$root cmake --install "$build" --prefix /usr >"$work/install.log" || {
  cat "$work/install.log" >&2
  exit 1
}
# Programs and libraries without their debugging information.
find "$root/usr/bin" "$root/usr/lib/velumo" -type f -exec strip --strip-unneeded {} +
find "$root/usr/lib" -maxdepth 1 -name '*.a' -exec strip --strip-debug {} +

# The libraries the programs need, as Debian's packages provide them;
# libtap.so is this package's own.
mkdir -p "$work/debian"
printf 'Source: velumo\n\nPackage: velumo\nArchitecture: any\n' >"$work/debian/control"
depends=$(cd "$work" && dpkg-shlibdeps -O -l"$root/usr/lib/velumo" --ignore-missing-info \
  "$root/usr/bin/"* "$root/usr/lib/velumo/"*.so 2>/dev/null | sed -n 's/^shlibs:Depends=//p')

mkdir -p "$root/DEBIAN"
cat >"$root/DEBIAN/control" <<CONTROL
Package: velumo
Version: $version
Architecture: $arch
Maintainer: The Velumo developers <velumo@localhost>
Installed-Size: $(du -sk --exclude=DEBIAN "$root" | cut -f1)
Depends: $depends
Recommends: pkg-config, gcc | c-compiler
Section: graphics
Priority: optional
Description: channel logo plug-in for TMS receivers: desktop tools and simulator
 Velumo is a plug-in for TMS receivers that browses and converts channel
 logos.  This package holds its desktop side: logoconv, which converts
 logo files and folders into the receiver's formats with the plug-in's own
 code; jpgcmd, a BMP to JPEG converter; the ijenc JPEG encoder library (libijenc.a, ijenc.h and the
 pkg-config file ijenc); tapsim, a stand-in of the receiver's firmware, with
 the plug-in built for this computer in /usr/lib/velumo and a sample disk of
 logos in /usr/share/velumo/disk.
CONTROL
mkdir -p "$out"
dpkg-deb --root-owner-group -Zxz --build "$root" "$deb.tmp" >/dev/null
mv "$deb.tmp" "$deb"
echo "$deb"
