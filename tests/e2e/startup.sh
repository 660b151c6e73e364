#!/usr/bin/env bash
# tapsim end to end: what a start on an empty disk leaves there (settings
# file, log) and what reaches the network terminal.
# usage: startup.sh TAPSIM VELUMO.so   (TAPSIM_EMULATOR may name qemu)
. "$(dirname "$0")/lib.sh"
clock="2012-02-17 09:05:30"
folder=ProgramFiles/Settings/Velumo

run fresh 'key Stop' --clock "$clock" --echo
ini=$work/disk-fresh/$folder/Velumo.ini
log=$work/disk-fresh/$folder/Velumo.log
paths=(/ProgramFiles/Settings/Logos/trans-black/169 /ProgramFiles/Settings/Logos/3pg/169
  /ProgramFiles/Settings/Logos)
for size in "" _Small; do
  for kind in TMS43 TMS169; do
    paths+=("/ProgramFiles/Settings/Tavrik/Logos_$kind/TV$size" "/ProgramFiles/Settings/Tavrik/Logos_$kind/Radio$size")
  done
done
for size in "" _Small; do
  for kind in Qt43 Qt169; do
    paths+=("/ProgramFiles/Settings/Tavrik/Logos_$kind/TV$size" "/ProgramFiles/Settings/Tavrik/Logos_$kind/Radio$size")
  done
done
paths+=(/ProgramFiles/ChannelLogos/TV /ProgramFiles/ChannelLogos/Radio /PhotoFiles/Settings/Logos)
{
  printf 'ShowError=0\r\nShowTrans=0\r\nTestBG=ff101010\r\nExitKey=40\r\n'
  for n in $(seq 1 30); do printf 'Path%02d=%s\r\n' "$n" "${paths[n - 1]:-}"; done
  printf 'PathCur=1\r\nSort=0\r\nDebug=0\r\n'
} >"$work/expected.ini"
check "fresh: exit code 0" test "$rc" = 0
check "fresh: settings file byte for byte" cmp -s "$work/expected.ini" "$ini"
check "fresh: every log line is stamped" test -z "$(grep -v '^2012-02-17 09:05:30 ' "$log")"
check "fresh: start line" has "2012-02-17 09:05:30 Programmstart Velumo V1.0" "$(cat "$log")"
check "fresh: system ID" has " - System ID " "$(cat "$log")"
check "fresh: firmware version" has " - Firmware version " "$(cat "$log")"
check "fresh: settings summary" has "LoadSettings: PathCnt 22, PathCur 1, Sort 0, Debug 0" "$(cat "$log")"
check "fresh: state" has " MS_Filelist" "$(cat "$log")"
check "fresh: end line last" test "$(tail -n 1 "$log")" = "2012-02-17 09:05:30 Programmende Velumo V1.0"
check "fresh: no debug lines" test -z "$(grep -E ' (<|>) ' "$log")"
check "fresh: terminal echoed" has "2012-02-17 09:05:30 Velumo: Programmende Velumo V1.0" "$out"

# Debug=1 in the file: the debug lines appear as well.
mkdir -p "$work/disk-debug/$folder"
printf 'Debug=1\r\n' >"$work/disk-debug/$folder/Velumo.ini"
run debug 'key Stop' --clock "$clock"
dlog=$(cat "$work/disk-debug/$folder/Velumo.log")
check "debug: loading" has "< Loading Settings" "$dlog"
check "debug: initialization" has "< Initialization" "$dlog"
check "debug: exit key" has "- pressed defined exit key" "$dlog"
check "debug: finalization" has "< Finalization" "$dlog"
check "debug: kept" has $'Debug=1\r' "$(cat "$work/disk-debug/$folder/Velumo.ini")"

# ExitKey=0: no key ends the plug-in, only the stop request.
mkdir -p "$work/disk-noexit/$folder"
printf 'ExitKey=0\r\n' >"$work/disk-noexit/$folder/Velumo.ini"
run noexit $'key Stop\nkey Exit\nkey OK' --trace
check "no exit key: still loaded" has "Velumo.so: still loaded" "$err"
check "no exit key: the stop key went to the firmware" has "key 0x1003C returned to the firmware" "$err"
run noexit2 'stop' --strict
check "no exit key: the stop request still ends it" has "exited (TAP_Exit)" "$err"

finish startup
