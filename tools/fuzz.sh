#!/usr/bin/env bash
# Runs every libFuzzer target of a fuzz build for a while, starting from its
# seeds; the corpus grows in BUILD/corpus/NAME, crashes land in BUILD/crashes.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:?usage: fuzz.sh BUILD [SECONDS]}
seconds=${2:-60}
mkdir -p "$build/crashes"
status=0
for bin in "$build"/bin/fuzz_*; do
  name=${bin##*/fuzz_}
  corpus=$build/corpus/$name
  mkdir -p "$corpus"
  [ -d "$top/fuzz/seeds/$name" ] && cp -n "$top/fuzz/seeds/$name"/* "$corpus"/ 2>/dev/null || true
  echo "fuzz: $name for ${seconds}s"
  if ! "$bin" -max_total_time="$seconds" -artifact_prefix="$build/crashes/$name-" \
    -print_final_stats=1 "$corpus" >"$build/fuzz-$name.log" 2>&1; then
    echo "fuzz: $name FAILED, see $build/fuzz-$name.log"
    status=1
  fi
  grep -E 'stat::number_of_executed_units|Done' "$build/fuzz-$name.log" | tail -2 || true
done
exit $status
