#!/usr/bin/env bash
# Lays out the bundled sample disk in the folder given (made anew each time):
# the logo folders of the plug-in's built-in directory list, with sample
# logos of every kind drawn by mksample.
# usage: make-disk.sh DISK [BUILD]
set -euo pipefail
disk=${1:?usage: make-disk.sh DISK [BUILD]}
build=${2:-build}
rm -rf "$disk"
"$build/bin/mksample" "$disk"
