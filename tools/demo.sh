#!/usr/bin/env bash
# make demo: the plug-in in tapsim on the bundled sample disk, the tour in
# English and then in German.  Screenshots go to BUILD/demo/shots/{en,de},
# with an index.html that shows them in order; each run's log is copied to
# BUILD/demo.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
demo=$build/demo
script=$top/sample/demo.tsim
rm -rf "$demo"
mkdir -p "$demo/shots"
for lang in en de; do
  bash "$top/sample/make-disk.sh" "$demo/disk-$lang" "$build"
  "$build/bin/tapsim" --disk "$demo/disk-$lang" --script "$script" --lang "$lang" \
    --shots "$demo/shots/$lang" --clock "2012-02-17 09:05:30" --strict "$build/bin/Velumo.so"
  cp "$demo/disk-$lang/ProgramFiles/Settings/Velumo/Velumo.log" "$demo/Velumo-$lang.log"
done
ln -sfn disk-en "$demo/disk"

# The index: one figure a screenshot, captioned from the script's comments.
{
  echo '<!DOCTYPE html><html><head><meta charset="utf-8"><title>Velumo demo tour</title>'
  echo '<style>body{font-family:sans-serif;background:#222;color:#eee}figure{display:inline-block;margin:8px}img{width:360px;border:1px solid #555}</style></head><body>'
  for lang in en de; do
    echo "<h1>Velumo tour ($lang)</h1>"
    grep -E '^shot ' "$script" | while read -r _ file _ caption; do
      echo "<figure><img src=\"$lang/$file\" alt=\"\"><figcaption>$caption</figcaption></figure>"
    done
  done
  echo '</body></html>'
} >"$demo/shots/index.html"
echo "demo: $(ls "$demo/shots/en" | wc -l) screenshots a language in $demo/shots (index.html)"
