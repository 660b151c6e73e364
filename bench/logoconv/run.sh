#!/usr/bin/env bash
# logoconv's speed: COUNT transparent 220x132 PNG logos (5,000 unless given)
# converted to qtl with one worker and with two.  Reports logos per second of
# wall time and per second of CPU time (user + system, all processes).  The
# goal is 2,000 logos a second per core.
# usage: run.sh [BUILD] [COUNT]
set -euo pipefail
build=${1:-build}
count=${2:-5000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/set"
"$build/bin/logoset" "$work/set" "$count"
echo "logoconv: $count transparent 220x132 PNG logos to qtl on $(nproc) cores"
TIMEFORMAT='%R %U %S'
for j in 1 2; do
  # Warm the page cache with the sources, then the measured run.
  cat "$work/set"/* >/dev/null
  t=$({ time "$build/bin/logoconv" -j $j -o "$work/out-$j" qtl "$work/set" >"$work/log-$j" 2>&1; } 2>&1)
  read -r real user sys <<<"$t"
  grep -q "converted $count, skipped 0, failed 0" "$work/log-$j" || {
    cat "$work/log-$j"
    exit 1
  }
  awk -v n="$count" -v j="$j" -v r="$real" -v u="$user" -v s="$sys" 'BEGIN {
    printf "  -j %d: %6.0f logos/s (%.2f s wall), %6.0f logos per CPU second (user %.2f s, system %.2f s)\n",
      j, n / r, r, n / (u + s), u, s }'
done
diff -r "$work/out-1" "$work/out-2" >/dev/null || {
  echo "the -j 2 output differs from -j 1"
  exit 1
}
