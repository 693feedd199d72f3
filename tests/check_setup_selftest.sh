#!/usr/bin/env bash
# The set-up check against this build: it passes with scripts/setup.sh as it is, and
# with one package left out of the list it fails and names that package, whichever
# way the build used it.
# usage: check_setup_selftest.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
src=$1
build=$2
check=$src/scripts/check-setup.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

if ! out=$("$check" "$build" 2>&1); then
  echo "FAIL: the check fails with scripts/setup.sh as it is:"
  echo "$out"
  exit 1
fi
echo "ok: $out"

# package left out | how this build uses it
cases=(
  "nlohmann-json3-dev|its CMake package file and headers"
  "libcurl4-openssl-dev|its headers and link library"
  "clang-format|a command the format check runs"
)
# A build with the window loads Qt's SVG icon engine at run time, which ldd cannot see.
if find "$build" -name addrscope -type f -perm -u+x ! -path '*/CMakeFiles/*' | grep -q .; then
  cases+=("libqt6svg6|a Qt plugin the window loads")
fi

for c in "${cases[@]}"; do
  pkg=${c%%|*}
  grep -qE "(^|[[:space:]])$pkg([[:space:]]|$)" "$src/scripts/setup.sh" || {
    echo "FAIL: $pkg is not in scripts/setup.sh, so this case tests nothing"; failures=$((failures + 1)); continue
  }
  sed -E "s/(^|[[:space:]])$pkg([[:space:]]|$)/\1\2/" "$src/scripts/setup.sh" >"$work/setup.sh"
  set +e
  out=$(SETUP_SH=$work/setup.sh "$check" "$build" 2>&1)
  rc=$?
  set -e
  if [ "$rc" -ne 1 ] || ! grep -q "^check-setup: $pkg is used by the build but not installed by" <<<"$out"; then
    echo "FAIL: without $pkg (${c#*|}) the check exits $rc and says:"
    echo "$out"
    failures=$((failures + 1))
  else
    echo "ok: without $pkg: $(grep "^check-setup: $pkg " <<<"$out")"
  fi
done

# A misspelt name installs nothing: the check names it.
sed -E 's/(^|[[:space:]])cmake([[:space:]]|$)/\1cmake libcurl4-opensll-dev\2/' "$src/scripts/setup.sh" >"$work/typo.sh"
set +e
out=$("$check" --setup "$work/typo.sh" "$build" 2>&1)
rc=$?
set -e
if [ "$rc" -ne 1 ] || ! grep -q "names packages apt does not know: libcurl4-opensll-dev" <<<"$out"; then
  echo "FAIL: with a misspelt package the check exits $rc and says: $out"
  failures=$((failures + 1))
fi

# A set-up script without a package list cannot be checked: that is not a pass.
printf '#!/bin/sh\napt-get install -y cmake\n' >"$work/nolist.sh"
set +e
out=$("$check" --setup "$work/nolist.sh" "$build" 2>&1)
rc=$?
set -e
if [ "$rc" -ne 2 ]; then
  echo "FAIL: a set-up script without packages=( ... ) gives exit $rc: $out"
  failures=$((failures + 1))
fi

[ "$failures" -eq 0 ]
