#!/usr/bin/env bash
# make run: the plug-in in tapsim --serve, for a web browser on this computer.
# usage: run.sh BUILD [DISK] [PORT]
# Without DISK the bundled sample disk, laid out in BUILD/run/disk the first
# time and kept after that (remove the folder to start afresh).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
disk=${2:-}
port=${3:-8018}
if [ -z "$disk" ]; then
  disk=$build/run/disk
  [ -d "$disk" ] || bash "$top/sample/make-disk.sh" "$disk" "$build"
fi
echo "run: the disk is $disk; Ctrl-C ends"
exec "$build/bin/tapsim" --serve "$port" --disk "$disk" "$build/bin/Velumo.so"
