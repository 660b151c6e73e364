#!/usr/bin/env bash
# The desktop package installed into this machine with apt-get, used as the
# README says, and purged: afterwards no file of it is left.  Needs root;
# without it, or where a velumo package is installed already (which this
# test would replace and remove), it is skipped.
# usage: install_test.sh BUILD_DIR VERSION EXAMPLE.c DEB_SH
set -u
build=$1 version=$2 example=$3 debsh=$4
if [ "$(id -u)" != 0 ]; then
  echo "not root: the package is not installed here (skipped)"
  exit 77
fi
if dpkg-query -W -f='${Status}' velumo 2>/dev/null | grep -q installed; then
  echo "a velumo package is installed on this machine: left alone (skipped)"
  [ "${CI:-}" = true ] && exit 1
  exit 77
fi
work=$(mktemp -d)
installed=
cleanup() {
  [ -n "$installed" ] && apt-get purge -y -q velumo >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT
failures=0 passed=0
. "$(dirname "$0")/../support/check.sh"

if ! bash "$debsh" "$build" "$work/out" "$version" >"$work/deb.log" 2>&1; then
  cat "$work/deb.log"
  echo "FAILED: deb.sh"
  exit 1
fi
deb=$(echo "$work"/out/velumo_*.deb)
installed=1
DEBIAN_FRONTEND=noninteractive apt-get install -y -q "$deb" >"$work/apt.log" 2>&1
rc=$?
check "apt-get install: exit 0 (got $rc: $(tail -5 "$work/apt.log"))" test $rc = 0
dpkg -L velumo >"$work/files"
check "dpkg -L lists the package's files" grep -qx /usr/bin/logoconv "$work/files"

logoconv --help >"$work/help" 2>&1
check "logoconv --help: exit 0" test $? = 0
check "logoconv --help: usage" grep -q '^usage: logoconv ' "$work/help"
check "jpgcmd --version" test "$(jpgcmd --version)" = "jpgcmd (Velumo) $version"
check "tapsim --version" test "$(tapsim --version)" = "tapsim (Velumo) $version"
check "man -w logoconv" test "$(man -w logoconv)" = /usr/share/man/man1/logoconv.1.gz
check "the sample disk laid out with its ISO-8859-1 names" \
  test -f /usr/share/velumo/disk/ProgramFiles/Settings/Logos/trans-black/169/$'\xc4rzte TV.qtl'

# The README's steps, with a scratch home.
export HOME=$work/home
mkdir -p "$HOME"
cp -r /usr/share/velumo/disk ~/velumo-disk
printf 'key Down\nkey OK\nshot detail.png\nkey Stop\n' |
  tapsim --disk ~/velumo-disk --script - --shots "$work" /usr/lib/velumo/Velumo.so >"$work/tapsim.out" 2>&1
rc=$?
check "tapsim on a copy of the sample disk: exit 0 (got $rc: $(tail -3 "$work/tapsim.out"))" test $rc = 0
check "  the detail view shot" test -s "$work/detail.png"
(cd "$work" && cc -o app "$example" $(pkg-config --cflags --libs ijenc) 2>cc.err && ./app ex.jpg >/dev/null)
check "the example built with pkg-config's flags runs ($(cat "$work/cc.err" 2>/dev/null))" test $? = 0
check "  and writes a JPEG" test "$(od -An -tx1 -N3 "$work/ex.jpg" 2>/dev/null | tr -d ' ')" = ffd8ff

apt-get purge -y -q velumo >"$work/purge.log" 2>&1
rc=$?
check "apt-get purge: exit 0 (got $rc: $(tail -5 "$work/purge.log"))" test $rc = 0
check "  no warning ($(grep -i warning "$work/purge.log"))" test -z "$(grep -i warning "$work/purge.log")"
installed=
# Every file is gone; a folder stays only where another package has it.
left=
while IFS= read -r f; do
  [ "$f" != /. ] && { [ -e "$f" ] || [ -L "$f" ]; } || continue
  [ -d "$f" ] && [ ! -L "$f" ] && dpkg -S "$f" >/dev/null 2>&1 && continue
  left+=" $f"
done <"$work/files"
check "purged: nothing of it left (${left:-none})" test -z "$left"
check "  nor the laid-out sample disk" test ! -e /usr/share/velumo

echo "install_test: $passed passed, $failures failed"
[ $failures = 0 ]
