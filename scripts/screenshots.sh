#!/usr/bin/env bash
# Regenerates the README's pictures of the window (docs/addrscope-MODE.png): the
# smoke test runs the real program under Xvfb and looks a real answer up from the
# loopback whois server. Needs addrscope and addrscope-whoisd built.
# usage: scripts/screenshots.sh [BUILD_DIR]   (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
mkdir -p "$root/docs"
for mode in dotted binary details; do
  "$root/src/app/smoke_test.sh" "$build/src/app/addrscope" "$build/tools/addrscope-whoisd" "$root/tests/data" \
    "$root/docs/addrscope-$mode.png" "$mode"
done
