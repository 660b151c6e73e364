#!/usr/bin/env bash
# Makes the receiver's package: the plug-in without its debug sections, its
# install text, the default settings (written by the stripped plug-in itself
# on a first start in tapsim) and the licences; and beside it the debug
# package, with the debug information the stripped plug-in points to.
#   package.sh TARGET.tar.gz DEBUG.tar.gz VELUMO.so TAPSIM SOURCE_DIR
# (OBJCOPY names the receiver's objcopy, TAPSIM_EMULATOR may name qemu, to
# run the receiver's tapsim)
set -euo pipefail
tar=$1 debugtar=$2 plugin=$3 tapsim=$4 top=$5
objcopy=${OBJCOPY:-objcopy}
emu=${TAPSIM_EMULATOR:-}
name=$(basename "$tar" .tar.gz)
debugname=$(basename "$debugtar" .tar.gz)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

mkdir -p "$work/$name" "$work/$debugname"
for f in LICENSE toolkit/fonts/OFL.txt; do
  if [ ! -f "$top/$f" ]; then
    echo "package.sh: $top/$f is missing" >&2
    exit 1
  fi
  cp "$top/$f" "$work/$name/"
done
cp "$top/LICENSE" "$work/$debugname/"
cp "$top/docs/receiver-install.txt" "$work/$name/INSTALL.txt"

# Only the debug sections leave the plug-in (more than half of the file):
# the symbol table and everything the loader reads stay as linked.
# objcopy says the debug file's build-id note "can't be allocated in segment
# 0": the note keeps its bytes there while the loaded sections before it
# keep none, which the segments the file still lists cannot describe.
# Debuggers read its sections, not its segments, so that warning is dropped.
debug=$work/$debugname/Velumo.so.debug
if ! "$objcopy" --only-keep-debug "$plugin" "$debug" 2>"$work/objcopy.err"; then
  cat "$work/objcopy.err" >&2
  exit 1
fi
grep -v -e "can't be allocated in segment" -e '^LOAD: ' "$work/objcopy.err" >&2 || true
"$objcopy" --strip-debug --add-gnu-debuglink="$debug" "$plugin" "$work/$name/Velumo.so"

# The first start writes every key with its default value; it runs the
# stripped plug-in, the one that is shipped.
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
pack() { # pack TARGET.tar.gz FOLDER
  tar --sort=name --owner=0 --group=0 --numeric-owner --mtime=@0 -C "$work" -cf - "$2" |
    gzip -9n >"$1.tmp"
}
pack "$tar" "$name"
pack "$debugtar" "$debugname"
mv "$tar.tmp" "$tar"
mv "$debugtar.tmp" "$debugtar"
echo "$tar"
echo "$debugtar"
