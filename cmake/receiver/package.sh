#!/usr/bin/env bash
# Makes the receiver's package: the plug-in, its install text, the default
# settings (written by the plug-in itself on a first start in tapsim) and
# the licence when the project has one.
#   package.sh TARGET.tar.gz VELUMO.so TAPSIM SOURCE_DIR
# (TAPSIM_EMULATOR may name qemu, to run the receiver's tapsim)
set -euo pipefail
tar=$1 plugin=$2 tapsim=$3 top=$4
emu=${TAPSIM_EMULATOR:-}
name=$(basename "$tar" .tar.gz)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

mkdir -p "$work/$name"
cp "$plugin" "$work/$name/Velumo.so"
cp "$top/docs/receiver-install.txt" "$work/$name/INSTALL.txt"
for f in LICENSE LICENSE.txt COPYING; do
  if [ -f "$top/$f" ]; then cp "$top/$f" "$work/$name/"; fi
done

# The first start writes every key with its default value.
echo stop | $emu "$tapsim" --disk "$work/disk" --clock "2012-02-17 09:00:00" --script - \
  "$work/$name/Velumo.so" >/dev/null 2>"$work/tapsim.err" || {
  cat "$work/tapsim.err" >&2
  exit 1
}
ini=$work/disk/ProgramFiles/Settings/Velumo/Velumo.ini
if ! grep -q '^ExitKey=' "$ini" 2>/dev/null; then
  echo "package.sh: the plug-in wrote no settings" >&2
  exit 1
fi
cp "$ini" "$work/$name/Velumo.ini"

# Same bytes from the same files: fixed owner, order and times.
tar --sort=name --owner=0 --group=0 --numeric-owner --mtime=@0 -C "$work" -cf - "$name" |
  gzip -9n >"$tar.tmp"
mv "$tar.tmp" "$tar"
echo "$tar"
