#!/usr/bin/env bash
# tapsim end to end: renaming a logo with the on-screen keyboard, with the
# companion remote-control plug-in loaded beside Velumo.
# usage: rename.sh TAPSIM VELUMO.so COMPANION.so   (TAPSIM_EMULATOR may name qemu)
. "$(dirname "$0")/lib.sh"
companion=$3
folder=ProgramFiles/Settings/Velumo

disk() { # disk NAME: a disk with two logos listed from /Logos
  mkdir -p "$work/disk-$1/$folder" "$work/disk-$1/Logos"
  printf 'Path01=/Logos\r\n' >"$work/disk-$1/$folder/Velumo.ini"
  printf 'first' >"$work/disk-$1/Logos/a.png"
  printf 'second' >"$work/disk-$1/Logos/b.png"
}
log() { cat "$work/disk-$1/$folder/Velumo.log"; }
requests() { cat "$work/disk-$1/ProgramFiles/Companion.txt" 2>/dev/null; }

# The list starts on the parent entry "< .. >"; one Down reaches a.png.
disk typed
run typed "$(printf '%s\n' 'key Down' 'key White' 'idle' 'shot keyboard.png' 'key Blue' \
  'char n' 'char e' 'char w' 'char .' 'char p' 'char n' 'char g' 'shot typed.png' 'key Exit' \
  'idle' 'shot list.png' 'key Stop')" --strict --shots "$work/shots" --trace "$companion"
check "typed: exit code 0" test "$rc" = 0
check "typed: renamed" test "$(cat "$work/disk-typed/Logos/new.png" 2>/dev/null)" = first
check "typed: old name gone" test ! -e "$work/disk-typed/Logos/a.png"
check "typed: log line" has "Renaming <a.png> to <new.png>" "$(log typed)"
check "typed: White also returned to the firmware" has "key 0x10049 returned to the firmware" "$err"
check "typed: direct mode on, then off" test "$(requests typed)" = "$(printf '%s\n' \
  'from 81AFFE27 to 8E0A4230 service 1 params 0 0 status 0' \
  'from 81AFFE27 to 8E0A4230 service 2 params 0 0 status 0')"
check "typed: screenshots" test -s "$work/shots/keyboard.png" -a -s "$work/shots/list.png"
check "typed: no heap block held" has "Velumo.so: exited (TAP_Exit); normal mode: on; TAP_EnterNormal calls: 2; heap blocks held: 0;" "$err"
[ -n "${KEEP_SHOTS:-}" ] && cp "$work"/shots/*.png "$KEEP_SHOTS"/

# The attached keyboard's own keys: clear (371), cursor left (293), end
# (291), right (295), Enter (369); Escape (368) leaves the name as it was.
disk keys
run keys "$(printf '%s\n' 'key Down' 'key White' 'idle' 'char 371' 'char z' 'char 293' 'char y' \
  'char 291' 'char .' 'char p' 'char n' 'char g' 'char 295' 'char 369' 'idle' 'key White' \
  'char 371' 'char q' 'char 368' 'idle' 'key Stop')" --strict "$companion"
check "keyboard keys: exit code 0" test "$rc" = 0
check "keyboard keys: renamed" test "$(cat "$work/disk-keys/Logos/yz.png" 2>/dev/null)" = first
check "keyboard keys: Escape renamed nothing more" \
  test "$(ls "$work/disk-keys/Logos" | tr '\n' ' ')" = "b.png yz.png "

# A name that exists, one with a slash and an empty one are refused; the
# files keep their names and contents.
disk refused
run refused "$(printf '%s\n' 'key Down' 'key White' 'key Blue' 'char b' 'char .' 'char p' \
  'char n' 'char g' 'key Exit' 'key White' 'key Blue' 'char /' 'char x' 'key Exit' \
  'key White' 'key Blue' 'key Exit' 'key Stop')" --strict --lang de "$companion"
check "refused: exit code 0" test "$rc" = 0
check "refused: a.png kept" test "$(cat "$work/disk-refused/Logos/a.png")" = first
check "refused: b.png kept" test "$(cat "$work/disk-refused/Logos/b.png")" = second
check "refused: nothing else made" test "$(ls "$work/disk-refused/Logos" | tr '\n' ' ')" = "a.png b.png "
check "refused: exists logged" has "= Not renaming <a.png>: <b.png> already exists" "$(log refused)"
check "refused: slash logged" has "= Not renaming <a.png>: </x> is no file name" "$(log refused)"
check "refused: empty logged" has "= Not renaming <a.png>: <> is no file name" "$(log refused)"
check "refused: never renamed" test -z "$(log refused | grep 'Renaming <')"

# The stop request while the keyboard is open ends both plug-ins cleanly.
# Velumo is loaded first here, so it closes the keyboard (and asks for the
# direct mode off) while the companion still runs.
disk stop
printf '%s\n' 'key Down' 'key White' 'idle' 'char x' 'stop' >"$work/stop.tsim"
$emu "$tapsim" --disk "$work/disk-stop" --script "$work/stop.tsim" --strict "$plugin" "$companion" \
  >"$work/stop.out" 2>"$work/stop.err"
rc=$?
err=$(cat "$work/stop.err")
check "stop: exit code 0" test "$rc" = 0
check "stop: Velumo exited" has "Velumo.so: exited (TAP_Exit)" "$err"
check "stop: nothing held" has "heap blocks held: 0;" "$err"
check "stop: file kept" test "$(cat "$work/disk-stop/Logos/a.png")" = first
check "stop: direct mode off" has "service 2" "$(requests stop)"

finish rename
