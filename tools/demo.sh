#!/usr/bin/env bash
# make demo: the plug-in in tapsim on the bundled sample disk.  Screenshots go
# to BUILD/demo/shots, the plug-in's log is copied to BUILD/demo.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
demo=$build/demo
rm -rf "$demo"
mkdir -p "$demo/shots"
bash "$top/sample/make-disk.sh" "$demo/disk" "$build"
"$build/bin/tapsim" --disk "$demo/disk" --script "$top/sample/demo.tsim" \
  --shots "$demo/shots" --clock "2012-02-17 09:05:30" --strict "$build/bin/Velumo.so"
log=$demo/disk/ProgramFiles/Settings/Velumo/Velumo.log
[ -f "$log" ] && cp "$log" "$demo/"
echo "demo: screenshots in $demo/shots:"
ls "$demo/shots"
