#!/usr/bin/env bash
# The receiver's package: exactly the plug-in as built, the install text and
# the default settings, under one folder named after the version.
# usage: receiver_test.sh BUILD_DIR VERSION VELUMO.so TAPSIM SOURCE_DIR
# (TAPSIM_EMULATOR names qemu)
set -u
build=$1 version=$2 plugin=$3 tapsim=$4 top=$5
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0 passed=0
. "$(dirname "$0")/../support/check.sh"

name=velumo-$version-receiver
if ! bash "$top/cmake/receiver/package.sh" "$work/$name.tar.gz" "$plugin" "$tapsim" "$top" >"$work/log" 2>&1; then
  cat "$work/log"
  echo "FAILED: package.sh"
  exit 1
fi
expected="$name/
$name/INSTALL.txt
$name/Velumo.ini
$name/Velumo.so"
for f in LICENSE LICENSE.txt COPYING; do [ -f "$top/$f" ] && expected+=$'\n'"$name/$f"; done
listing=$(tar -tzf "$work/$name.tar.gz" | sort)
check "the files: $(echo $listing)" test "$listing" = "$(sort <<<"$expected")"
tar -xzf "$work/$name.tar.gz" -C "$work"
check "Velumo.so is the plug-in as built" cmp -s "$plugin" "$work/$name/Velumo.so"
ini=$work/$name/Velumo.ini
for line in ShowError=0 ShowTrans=0 TestBG=ff101010 ExitKey=40 PathCur=1 Sort=0 Debug=0; do
  check "Velumo.ini: $line" grep -qxE "$line"$'\r?' "$ini"
done
check "Velumo.ini: the built-in folders" grep -q '^Path01=/' "$ini"
for text in /ProgramFiles /ProgramFiles/Settings/Velumo Velumo.ini Velumo.log Removing Entfernen; do
  check "INSTALL.txt: $text" grep -qF "$text" "$work/$name/INSTALL.txt"
done
# The same files give the same bytes.
mkdir "$work/again"
bash "$top/cmake/receiver/package.sh" "$work/again/$name.tar.gz" "$plugin" "$tapsim" "$top" >/dev/null 2>&1
check "made again: the same bytes" cmp -s "$work/$name.tar.gz" "$work/again/$name.tar.gz"

echo "receiver_test: $passed passed, $failures failed"
[ $failures = 0 ]
