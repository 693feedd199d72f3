#!/usr/bin/env bash
# Builds the Addrscope desktop program and starts it. Arguments go to the program
# (for example a .qdl document, or --settings FILE).
set -euo pipefail
cd "$(dirname "$0")/.."
generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
cmake -S . -B build "${generator[@]}" -DCMAKE_BUILD_TYPE=Release >/dev/null
if cmake --build build --target addrscope -j"$(nproc)" && [ -x build/src/app/addrscope ]; then
  exec build/src/app/addrscope "$@"
fi
echo "run.sh: the desktop program could not be built; starting the command line instead" >&2
cmake --build build --target addrscope-cli -j"$(nproc)"
[ $# -gt 0 ] || set -- --help
exec build/src/cli/addrscope-cli "$@"
