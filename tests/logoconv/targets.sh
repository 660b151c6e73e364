# Sourced by logoconv's tests: the targets as logoconv lists them, so that
# a new row in the engine's table is tested without editing the tests.
# read_targets LOGOCONV sets targets (the names) and keys (the plug-in's
# number key of each), from the "Targets" section of --list-formats.
read_targets() {
  targets=()
  keys=()
  local name key _
  while read -r name key _; do
    targets+=("$name")
    keys+=("$key")
  done < <("$1" --list-formats | awk '/^Targets/ { on = 1; next } !NF { on = 0 } on')
  [ "${#targets[@]}" -gt 0 ] || {
    echo "FAILED: no targets in $1 --list-formats"
    return 1
  }
}
