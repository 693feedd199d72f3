#!/usr/bin/env bash
# Builds Addrscope and starts it. Arguments go to the program.
set -euo pipefail
cd "$(dirname "$0")/.."
generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
cmake -S . -B build "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"
if [ -x build/src/app/addrscope ]; then
  exec build/src/app/addrscope "$@"
fi
[ $# -gt 0 ] || set -- --help
exec build/src/cli/addrscope-cli "$@"
