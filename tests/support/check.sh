# check.sh - the test scripts' check, sourced by them:
#
#   check DESCRIPTION COMMAND...
#
# runs the command and counts it in passed or in failures (both set to 0 by
# the sourcing script).  A failure prints "FAILED: DESCRIPTION", then what
# the script's own failure_details prints when it has one: the exit status
# and the output of what it ran, say.
check() {
  local what=$1
  shift
  if "$@"; then
    passed=$((passed + 1))
  else
    failures=$((failures + 1))
    echo "FAILED: $what"
    if declare -F failure_details >/dev/null; then failure_details; fi
  fi
}

# skip_or_fail WHAT: something a part of the script needs is not on this
# machine.  Here that part is skipped ("WHAT not found: skipped"); on CI
# (CI=true), which must have everything, it counts as a failure.
skip_or_fail() {
  if [ "${CI:-}" = true ]; then
    failures=$((failures + 1))
    echo "FAILED: $1 not found (CI=true: the CI machine must have it)"
  else
    echo "$1 not found: skipped"
  fi
}
