#!/usr/bin/env bash
# Lays out the bundled sample disk in the folder given (made anew each time):
# the logo folders of the plug-in's built-in directory list.
set -euo pipefail
disk=${1:?usage: make-disk.sh DISK}
rm -rf "$disk"
mkdir -p "$disk/ProgramFiles/Settings/Logos/trans-black/169" \
  "$disk/ProgramFiles/Settings/Logos/3pg/169"
