# Shared by the tapsim end-to-end scripts: run tapsim, check results, count.
# Sourced without arguments, it takes the script's own: TAPSIM VELUMO.so ...
set -u
tapsim=$1
plugin=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
emu=${TAPSIM_EMULATOR:-}
failures=0
passed=0

run() { # run NAME SCRIPT-TEXT [tapsim options...]; sets rc, out, err
  local name=$1 text=$2
  shift 2
  printf '%s\n' "$text" >"$work/$name.tsim"
  $emu "$tapsim" --disk "$work/disk-$name" --script "$work/$name.tsim" "$@" "$plugin" \
    >"$work/$name.out" 2>"$work/$name.err"
  rc=$?
  out=$(cat "$work/$name.out")
  err=$(cat "$work/$name.err")
}

. "$(dirname "${BASH_SOURCE[0]}")/../support/check.sh"
failure_details() {
  echo "  exit code: $rc"
  echo "  stderr: $err"
}

has() { grep -qF -- "$1" <<<"$2"; }

finish() { # finish NAME
  echo "e2e $1: $passed passed, $failures failed"
  [ "$failures" = 0 ]
}
