#!/usr/bin/env bash
# Builds the Debian package from this build with CPack, unpacks it into a scratch
# folder and runs the unpacked command line. The package holds the programs, their
# manual pages (compressed) and completions, the desktop entry with its icon and metainfo (which
# AppStream finds together in the unpacked tree), no test servers, tests or
# benchmarks, and Depends, computed from the programs, names the Qt and curl
# libraries they link.
# The scratch folder is removed when all is well, and kept (and named) when not.
# usage: check_package.sh BUILD_DIR
set -euo pipefail
build=$1
scratch=$(mktemp -d "${TMPDIR:-/tmp}/addrscope-package.XXXXXX")
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
trap '[ "$failures" -eq 0 ] && [ -z "${keep:-}" ] && rm -rf "$scratch" || echo "kept $scratch"' EXIT
if ! (cd "$build" && cpack -G DEB -B "$scratch") >"$scratch/cpack.log" 2>&1; then
  cat "$scratch/cpack.log"
  echo "FAIL: cpack -G DEB"
  keep=1
  exit 1
fi
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
deb=$scratch/addrscope_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || { keep=1; echo "FAIL: no $deb; cpack made: $(cd "$scratch" && ls ./*.deb)"; exit 1; }

for field in "Package=addrscope" "Version=$version" "Section=net"; do
  got=$(dpkg-deb -f "$deb" "${field%%=*}")
  [ "$got" = "${field#*=}" ] || fail "${field%%=*} is '$got', not '${field#*=}'"
done
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libc6 libqt6core6 libqt6widgets6 libcurl4 libqt6svg6; do
  grep -qE "(^|, )$lib( |,|$)" <<<"$depends" || fail "Depends does not name $lib: '$depends'"
done

root=$scratch/root
dpkg-deb -x "$deb" "$root"
for f in usr/bin/addrscope usr/bin/addrscope-cli \
  usr/share/man/man1/addrscope.1.gz usr/share/man/man1/addrscope-cli.1.gz \
  usr/share/bash-completion/completions/addrscope-cli usr/share/zsh/vendor-completions/_addrscope-cli \
  usr/share/applications/addrscope.desktop usr/share/icons/hicolor/scalable/apps/addrscope.svg \
  usr/share/metainfo/io.github.addrscope.Addrscope.metainfo.xml usr/share/addrscope/rdap/ipv4.json \
  usr/share/addrscope/rdap/ipv6.json; do
  [ -s "$root/$f" ] || fail "the package lacks $f"
done
for page in addrscope addrscope-cli; do
  head=$(zcat "$root/usr/share/man/man1/$page.1.gz" 2>/dev/null | head -n 1 || true)
  case $head in ".TH ${page^^} 1 "*) ;; *) fail "usr/share/man/man1/$page.1.gz does not start its page: '$head'" ;; esac
done
extra=$(cd "$root" && find . -type f | sed 's|^\./||' | grep -E '^usr/bin/' | grep -vxE 'usr/bin/addrscope(-cli)?' || true)
[ -z "$extra" ] || fail "the package ships programs that are not for users: $extra"
extra=$(cd "$root" && find . -type f | grep -E '/(test_|bench_|gen_|fuzz_)[^/]*$|addrscope-(whoisd|rdapd)' || true)
[ -z "$extra" ] || fail "the package ships test tools: $extra"
if ldd "$root/usr/bin/addrscope" "$root/usr/bin/addrscope-cli" | grep -q 'not found'; then
  fail "the unpacked programs need libraries this machine lacks: $(ldd "$root/usr/bin/addrscope-cli" | grep 'not found')"
fi

# As installed, the metainfo finds its desktop entry (its launchable) and icon.
out=$(appstreamcli validate-tree --no-net "$root" 2>&1) || fail "appstreamcli validate-tree on the package: $out"

cli=$root/usr/bin/addrscope-cli
out=$("$cli" --version) || fail "addrscope-cli --version exits $?"
[ "$out" = "addrscope-cli $version" ] || fail "addrscope-cli --version says '$out'"
out=$("$cli" --help) || fail "addrscope-cli --help exits $?"
grep -q '^usage: addrscope-cli ' <<<"$out" || fail "addrscope-cli --help says: $out"

[ "$failures" -eq 0 ] && echo "ok: $(basename "$deb"), Depends: $depends"
[ "$failures" -eq 0 ]
