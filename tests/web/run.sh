#!/usr/bin/env bash
# The browser test of tapsim --serve: Playwright drives Debian's chromium.
# usage: run.sh TAPSIM PLUGIN MKSAMPLE
# Exits 77 (skipped) only where chromium or node is missing; without the
# Playwright package it fails, since make deps installs it.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
chromium=${CHROMIUM:-/usr/bin/chromium}
if ! command -v node >/dev/null || [ ! -x "$chromium" ]; then
  echo "web_browser: skipped, no node or no $chromium on this machine"
  exit 77
fi
if [ ! -f "$here/node_modules/playwright-core/package.json" ]; then
  echo "web_browser: $here/node_modules lacks playwright-core: run 'make deps'" >&2
  exit 1
fi
export CHROMIUM=$chromium
exec node "$here/serve.test.mjs" "$@"
