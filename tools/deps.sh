#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks for building and testing, and
# prepares the receiver sysroot: the static zlib, libpng and libjpeg-turbo of
# Debian's mipsel packages, unpacked into .deps/mipsel-sysroot.  Safe to run
# again: it only does what is missing.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)

packages=(cmake ninja-build make g++ pkg-config git
  zlib1g-dev libpng-dev libjpeg62-turbo-dev googletest
  g++-mipsel-linux-gnu qemu-user
  clang-format libfreetype-dev fonts-dejavu-core pngcheck libjpeg-turbo-progs
  libcpp-httplib-dev chromium dpkg-dev man-db
  librsvg2-dev librsvg2-bin imagemagick pngquant lintian)
mips_packages=(zlib1g-dev zlib1g libpng-dev libpng16-16 libjpeg62-turbo-dev libjpeg62-turbo)

as_root() {
  if [ "$(id -u)" = 0 ]; then "$@"
  elif command -v sudo >/dev/null; then sudo "$@"
  else
    echo "deps: '$*' needs root; run 'make deps' as root" >&2
    exit 1
  fi
}

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

updated=
apt_update() { [ -n "$updated" ] || { as_root apt-get update -q; updated=1; }; }

missing=()
for p in "${packages[@]}"; do installed "$p" || missing+=("$p"); done
# Node for the browser test: Debian's, unless the machine has one already.
command -v node >/dev/null || missing+=(nodejs)
command -v npm >/dev/null || missing+=(npm)
if [ ${#missing[@]} -gt 0 ]; then
  echo "deps: installing ${missing[*]}"
  apt_update
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

sysroot=$top/.deps/mipsel-sysroot
stamp=$sysroot/.complete
if [ ! -f "$stamp" ] || [ "$(cat "$stamp")" != "${mips_packages[*]}" ]; then
  echo "deps: preparing the mipsel sysroot in $sysroot"
  if ! dpkg --print-foreign-architectures | grep -qx mipsel; then
    as_root dpkg --add-architecture mipsel
    updated=
  fi
  apt_update
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  chmod 777 "$work"
  (cd "$work" && apt-get download -q "${mips_packages[@]/%/:mipsel}")
  rm -rf "$sysroot"
  mkdir -p "$sysroot"
  for deb in "$work"/*.deb; do dpkg-deb -x "$deb" "$sysroot"; done
  echo "${mips_packages[*]}" >"$stamp"
fi

# The browser test's Playwright, exactly as locked; it never downloads a
# browser (the test uses Debian's chromium).
web=$top/tests/web
lock=$(sha256sum "$web/package-lock.json" | cut -d' ' -f1)
if [ "$(cat "$web/node_modules/.velumo-lock" 2>/dev/null)" != "$lock" ]; then
  echo "deps: installing the browser test's node packages in $web/node_modules"
  (cd "$web" && PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error)
  echo "$lock" >"$web/node_modules/.velumo-lock"
fi
