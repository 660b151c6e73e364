#!/usr/bin/env bash
# tapsim end to end: how runs end, what they print, and how bad input is met.
# usage: lifecycle.sh TAPSIM VELUMO.so   (TAPSIM_EMULATOR may name qemu)
. "$(dirname "$0")/lib.sh"

# The exit key ends the plug-in and gives the screen back to normal viewing.
run exitkey 'key RKEY_Stop' --strict
check "exit key: exit code 0" test "$rc" = 0
check "exit key: TAP_Exit" has "Velumo.so: exited (TAP_Exit)" "$err"
# One call from the list's window closing, one from the plug-in itself.
check "exit key: TAP_EnterNormal called" has "TAP_EnterNormal calls: 2;" "$err"
check "exit key: no heap block held" has "heap blocks held: 0;" "$err"
check "exit key: one event" has "events: 1" "$err"

# The stop request ends it without the plug-in's own TAP_EnterNormal (the
# list's window still hands the screen back as it closes).
run stop 'stop'
check "stop: exit code 0" test "$rc" = 0
check "stop: TAP_Exit" has "exited (TAP_Exit)" "$err"
check "stop: only the window's TAP_EnterNormal" has "TAP_EnterNormal calls: 1;" "$err"

# Keys nobody handles go back to the firmware unchanged; a script that ends
# first leaves the plug-in loaded.
# White opens the rename keyboard on a logo (the first folder of the built-in
# list holds one), which then takes every key; it goes last.
logos="$work/disk-unhandled/ProgramFiles/Settings/Logos/trans-black/169"
mkdir -p "$logos"
printf 'x' >"$logos/a.png"
run unhandled $'key 0x1004A\nkey Down\nkey White\nidle 3' --trace
check "unhandled: exit code 0" test "$rc" = 0
check "unhandled: White returned" has "key 0x10049 returned to the firmware" "$err"
check "unhandled: 0x1004A returned" has "key 0x1004A returned to the firmware" "$err"
check "unhandled: still loaded" has "Velumo.so: still loaded" "$err"
check "unhandled: six events" has "events: 6" "$err"

# Events after the plug-in ended are not delivered.
run afterexit $'key Stop\nkey OK\nidle 10'
check "after exit: only the exit key reached it" has "events: 1" "$err"

# A missing disk folder is made, with /ProgramFiles in it; the plug-in file
# lies there as on the receiver.
run newdisk 'stop'
check "new disk: ProgramFiles made" test -d "$work/disk-newdisk/ProgramFiles"
check "new disk: plug-in file on the disk" test -f "$work/disk-newdisk/ProgramFiles/Velumo.so"
check "new disk: settings folder made by the plug-in" test -f "$work/disk-newdisk/ProgramFiles/Settings/Velumo/Velumo.log"

# Screenshots are PNG files of the plug-in's screen.
run shot $'idle\nshot start.png\nstop' --shots "$work/shots"
check "shot: exit code 0" test "$rc" = 0
check "shot: PNG written" test "$(head -c 8 "$work/shots/start.png" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a

# Bad input: one clear message, non-zero exit, nothing run.
run badkey $'key OK\nkey RKEY_Nothing'
check "bad key: non-zero exit" test "$rc" != 0
check "bad key: message names the line" has "badkey.tsim:2: unknown key name 'RKEY_Nothing'" "$err"
check "bad key: plug-in not started" test ! -e "$work/disk-badkey"

$emu "$tapsim" --disk "$work/d" --script "$work/no-such-script" "$plugin" 2>"$work/e" >/dev/null
rc=$?
err=$(cat "$work/e")
check "missing script: non-zero exit" test "$rc" != 0
check "missing script: message" has "cannot read script" "$err"

$emu "$tapsim" --disk "$work/d" "$work/no-such-plugin.so" 2>"$work/e" >/dev/null
rc=$?
err=$(cat "$work/e")
check "missing plug-in: non-zero exit" test "$rc" != 0
check "missing plug-in: message" has "cannot load" "$err"

printf 'not a plug-in' >"$work/fake.so"
$emu "$tapsim" --disk "$work/d" "$work/fake.so" 2>"$work/e" >/dev/null
rc=$?
err=$(cat "$work/e")
check "not a shared object: non-zero exit" test "$rc" != 0

$emu "$tapsim" "$plugin" 2>"$work/e" >/dev/null
rc=$?
err=$(cat "$work/e")
check "no disk: usage error" test "$rc" = 2
check "no disk: message" has "no disk given" "$err"

$emu "$tapsim" --disk "$work/d" --lang fr "$plugin" 2>"$work/e" >/dev/null
rc=$?
err=$(cat "$work/e")
check "bad language: usage error" test "$rc" = 2

$emu "$tapsim" --disk "$work/d" --clock "yesterday" "$plugin" 2>"$work/e" >/dev/null
rc=$?
err=$(cat "$work/e")
check "bad clock: usage error" test "$rc" = 2
$emu "$tapsim" --disk "$work/d" --clock "2038-04-23 00:00:00" "$plugin" 2>"$work/e" >/dev/null
rc=$?
err=$(cat "$work/e")
check "clock beyond the 16-bit date: usage error" test "$rc" = 2
check "clock beyond the 16-bit date: says the range" has "2038-04-22" "$err"

$emu "$tapsim" --help >"$work/o" 2>&1
rc=$?
err=$(cat "$work/o")
check "help: exit 0" test "$rc" = 0
check "help: shows the script language" has "key NAME|CODE" "$err"
check "help: lists --version" has "--version" "$err"
$emu "$tapsim" --version >"$work/o" 2>&1
rc=$?
check "version: exit 0" test "$rc" = 0
check "version: one line with the version" grep -qxE 'tapsim \(Velumo\) [0-9]+\.[0-9]+(\.[0-9]+)?' "$work/o"

finish lifecycle
