#!/usr/bin/env bash
# Checks that a fresh Debian machine gets from scripts/setup.sh every Debian package
# the build in BUILD_DIR used. Fails, naming the package and a file of it, when a
# package owning such a file is neither in setup.sh's `packages=( ... )` list, nor
# pulled in by their hard dependencies (Depends, Pre-Depends), nor of priority
# required or essential. The files used:
#   - the system headers the compiler read (ninja's dependency records),
#   - the CMake package files and pkg-config modules the configure step found,
#   - the libraries the link lines name and the built programs load (ldd, and the
#     Qt plugins the window loads at run time, which ldd cannot see),
#   - the compiler, and the commands the project's scripts and tests run.
# Reads the build's records and the package databases only: no network, no build.
#
#   usage: scripts/check-setup.sh [--setup FILE] [BUILD_DIR]     (default: build)
#   --setup FILE, or SETUP_SH=FILE: check the list of that set-up script instead
#   -v: list each package the build used, with one of its files
# Exit status: 0 all covered, 1 something is not, 2 the check could not run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
setup=${SETUP_SH:-$root/scripts/setup.sh}
build=""
verbose=0
while [ $# -gt 0 ]; do
  case $1 in
    --setup) [ $# -ge 2 ] || { echo "check-setup: --setup needs a file" >&2; exit 2; }; setup=$2; shift 2 ;;
    --setup=*) setup=${1#--setup=}; shift ;;
    -v) verbose=1; shift ;;
    -h|--help) sed -n '2,16p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    -*) echo "check-setup: unknown option $1" >&2; exit 2 ;;
    *) [ -z "$build" ] || { echo "check-setup: one build folder only" >&2; exit 2; }; build=$1; shift ;;
  esac
done
build=${build:-$root/build}
fail() { echo "check-setup: $*" >&2; exit 2; }
[ -f "$build/CMakeCache.txt" ] || fail "no configured build in $build"
[ -f "$build/build.ninja" ] || fail "$build is not a Ninja build (configure it with -G Ninja)"
[ -r "$setup" ] || fail "cannot read $setup"
build=$(cd "$build" && pwd)
for tool in ninja dpkg-query apt-cache ldd realpath; do
  command -v "$tool" >/dev/null || fail "needs $tool"
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export LC_ALL=C

# --- the package list: the words of `packages=( ... )`, comments dropped ----------
awk '
  !f && /^[[:space:]]*packages=\(/ { f = 1; sub(/^[^(]*\(/, "") }
  f {
    sub(/#.*/, "")
    done = sub(/\).*/, "")
    n = split($0, w, /[[:space:]]+/)
    for (i = 1; i <= n; i++) if (w[i] != "") print w[i]
    if (done) exit
  }' "$setup" | sort -u >"$work/named"
[ -s "$work/named" ] || fail "no packages=( ... ) list in $setup"
if bad=$(grep -vE '^[a-z0-9][a-z0-9+.-]+$' "$work/named"); then
  fail "cannot read the package list of $setup (not package names: $(echo $bad))"
fi

# --- files the build used, one "kind<TAB>path" a line ------------------------------
used=$work/used
: >"$used"
# Headers (and anything else the compiler read) that are not the project's own.
ninja -C "$build" -t deps 2>"$work/ninja-err" | awk '/^[[:space:]]+[^[:space:]]/ { print $1 }' | sort -u >"$work/deps" ||
  fail "ninja -t deps: $(head -n 3 "$work/ninja-err")"
[ -s "$work/deps" ] || fail "nothing has been built in $build yet"
(cd "$build" && xargs -r -d '\n' realpath -ms -- <"$work/deps") | sed 's/^/header\t/' >>"$used"

# CMake package files: the <Name>Config.cmake that find_package read for each
# <Name>_DIR, or the folder's config files when its name differs.
sed -n 's/^\([A-Za-z0-9_.+-]*\)_DIR:PATH=\(\/.*\)$/\1\t\2/p' "$build/CMakeCache.txt" |
  while IFS=$'\t' read -r name dir; do
    [ -d "$dir" ] || continue
    lower=$(echo "$name" | tr 'A-Z_' 'a-z-')
    found=0
    for f in "$dir/${name}Config.cmake" "$dir/${lower}-config.cmake" "$dir/$(echo "$name" | tr 'A-Z' 'a-z')-config.cmake"; do
      if [ -f "$f" ]; then printf 'cmake\t%s\n' "$f"; found=1; break; fi
    done
    [ $found = 1 ] || find "$dir" -maxdepth 1 -name '*[Cc]onfig.cmake' -printf 'cmake\t%p\n'
  done >>"$used"

# pkg-config modules pkg_check_modules found, and the modules they require.
modules=$(awk -F= '
  /^__pkg_config_arguments_/ { split($1, k, ":"); p = substr(k[1], 24); args[p] = $2 }
  /^[A-Za-z0-9_]+_FOUND:INTERNAL=1$/ { split($1, k, ":"); found[substr(k[1], 1, length(k[1]) - 6)] = 1 }
  END {
    for (p in args) if (p in found) {
      n = split(args[p], a, ";")
      for (i = 1; i <= n; i++)
        if (a[i] !~ /^(REQUIRED|QUIET|IMPORTED_TARGET|GLOBAL|NO_CMAKE_PATH|NO_CMAKE_ENVIRONMENT_PATH)$/ && a[i] != "") {
          sub(/[<>=].*/, "", a[i]); print a[i]
        }
    }
  }' "$build/CMakeCache.txt" | sort -u)
pkgconfig=$(sed -n 's/^PKG_CONFIG_EXECUTABLE:FILEPATH=\(\/.*\)$/\1/p' "$build/CMakeCache.txt")
if [ -n "$modules" ] && [ -x "$pkgconfig" ]; then
  seen=" "
  queue=$modules
  while [ -n "$queue" ]; do
    next=""
    for m in $queue; do
      case $seen in *" $m "*) continue ;; esac
      seen="$seen$m "
      pc=$("$pkgconfig" --path "$m" 2>/dev/null) || { printf 'missing\tpkg-config module %s\n' "$m" >>"$used"; continue; }
      printf 'pkg-config\t%s\n' "$pc" >>"$used"
      next="$next $("$pkgconfig" --print-requires --print-requires-private "$m" 2>/dev/null | awk '{ print $1 }')"
    done
    queue=$next
  done
fi

# Libraries the link lines name.
grep -E '^[[:space:]]*LINK_LIBRARIES = ' "$build/build.ninja" | tr ' ' '\n' |
  grep -E '^/.*\.(so|a)(\.[0-9]+)*$' | sort -u | sed 's/^/link\t/' >>"$used" || true

# Shared libraries the built programs load.
find "$build" -type f -perm -u+x ! -path '*/CMakeFiles/*' ! -path '*/_CPack_Packages/*' \
  ! -name '*.sh' ! -name '*.so' -print >"$work/programs"
: >"$work/ldd"
while IFS= read -r exe; do
  [ "$(head -c 4 "$exe" | od -An -c | tr -d ' ')" = '177ELF' ] || continue
  ldd "$exe" 2>/dev/null | sed "s|^[[:space:]]*|$exe\t|" >>"$work/ldd" || true
done <"$work/programs"
awk -F'\t' '
  $2 ~ /=> not found/ { l = $2; sub(/ .*/, "", l); printf "missing\tlibrary %s (for %s)\n", l, $1; next }
  match($2, /=> \/[^ ]+/) { print "library\t" substr($2, RSTART + 3, RLENGTH - 3); next }
  match($2, /^\/[^ ]+/) { print "library\t" substr($2, RSTART, RLENGTH) }
' "$work/ldd" | sort -u >>"$used"

# The window's Qt plugins, loaded at run time: X11 and offscreen platforms, SVG icons.
qtgui=$(awk -F'\t' 'match($2, /libQt6Gui\.so\.6 => \/[^ ]+/) { s = substr($2, RSTART, RLENGTH); sub(/.*=> /, "", s); print s; exit }' "$work/ldd")
if [ -n "$qtgui" ]; then
  plugins=$(dirname "$qtgui")/qt6/plugins
  for p in platforms/libqxcb.so platforms/libqoffscreen.so iconengines/libqsvgicon.so imageformats/libqsvg.so; do
    if [ -f "$plugins/$p" ]; then printf 'plugin\t%s\n' "$plugins/$p"; else printf 'missing\tQt plugin %s\n' "$plugins/$p"; fi
  done >>"$used"
fi

# The compilers and the build tool the cache names.
sed -n 's/^\(CMAKE_COMMAND\|CMAKE_C_COMPILER\|CMAKE_CXX_COMPILER\|CMAKE_MAKE_PROGRAM\|CMAKE_CXX_COMPILER_LAUNCHER\|ADDRSCOPE_CCACHE\):[A-Z]*=\(\/.*\)$/tool\t\2/p' \
  "$build/CMakeCache.txt" >>"$used"

# Commands the scripts and tests run (keep in step with scripts/, tests/, bench/,
# src/app/), looked up where Debian puts them, not in this shell's own PATH.
commands=(
  clang-format git                          # check-format.sh
  cmake ctest cpack ninja ccache pkg-config # building, testing, packaging
  dpkg-deb dpkg-shlibdeps file              # the Debian package (CPack) and its test
  desktop-file-validate appstreamcli        # the validators
  xvfb-run Xvfb xauth                       # the window's smoke test
  ip ping traceroute sysctl                 # the ICMP tests in network namespaces
  unshare setpriv                           # tests in namespaces of their own
  openssl python3 bash sh gzip zcat sort    # test helpers
  /usr/bin/time                             # bench/run_import.sh
)
for c in "${commands[@]}"; do
  if p=$(PATH=/usr/sbin:/usr/bin:/sbin:/bin command -v "$c" 2>/dev/null) && [ -x "$p" ]; then
    printf 'command\t%s\n' "$p"
  else
    printf 'missing\tcommand %s\n' "$c"
  fi
done >>"$used"

# Only what lies outside the project and its build.
awk -F'\t' -v root="$root/" -v build="$build/" '
  $1 == "missing" || (index($2, root) != 1 && index($2, build) != 1)' "$used" | sort -u >"$work/outside"

# --- which package owns each file --------------------------------------------------
# dpkg records a file under the name its package ships (/lib/... or /usr/lib/...,
# whatever the merged /usr makes of it), and symlinks such as the alternatives'
# /usr/bin/c++ belong to no package: ask for each path, its other spelling and
# what it resolves to, all in one query.
awk -F'\t' '$1 != "missing" { print $2 }' "$work/outside" >"$work/paths"
xargs -r -d '\n' realpath -m -- <"$work/paths" | paste -d '\t' "$work/paths" - >"$work/pairs"
alias_of() { sed -E 's#^/usr/(lib|lib64|bin|sbin)/#/\1/#; t; s#^/(lib|lib64|bin|sbin)/#/usr/\1/#'; }
{ cut -f1 "$work/pairs"; cut -f2 "$work/pairs"; cut -f1 "$work/pairs" | alias_of; cut -f2 "$work/pairs" | alias_of; } |
  sort -u >"$work/query"
xargs -r -d '\n' dpkg-query -S -- <"$work/query" 2>/dev/null |
  awk '!/^diversion / { i = index($0, ": "); if (i) print substr($0, i + 2) "\t" substr($0, 1, i - 1) }' >"$work/owners" || true

# --- what a fresh machine gets ------------------------------------------------------
# The hard-dependency closure of the list, from one apt-cache call, kept in the
# build folder until the list or the package databases change.
cache_dir=$build/check-setup
key=$({ cat "$work/named"; stat -c '%n %Y %s' /var/lib/dpkg/status /var/lib/apt/lists/* 2>/dev/null; } | md5sum | cut -c1-16)
closure=$cache_dir/closure-$key
if [ ! -s "$closure" ]; then
  apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts --no-breaks --no-replaces --no-enhances \
    $(cat "$work/named") >"$work/apt" 2>"$work/apt-err" || true
  # apt-cache passes over a name it does not know when it knows another one.
  unknown=$(sed -n 's/^[^ ]/&/p' "$work/apt" | tr -d '<>' | sort -u | comm -13 - "$work/named")
  [ -z "$unknown" ] || { echo "check-setup: $setup names packages apt does not know:" $unknown; exit 1; }
  # Follow the first alternative of each dependency, as apt does on a fresh machine;
  # a virtual package stands for its providers.
  awk -v named="$work/named" '
    function bare(p) { gsub(/[<>]/, "", p); sub(/:[a-z0-9]+$/, "", p); return p }
    /^[^ ]/ { cur = bare($0); alt = 0; virt = 0; next }
    /^ [ |](Pre)?Depends: / {
      first = !alt; alt = ($0 ~ /^ \|/)
      dep = $0; sub(/^[^:]*: /, "", dep)
      virt = 0
      if (!first) next
      if (dep ~ /^</) virt = 1; else edge[cur] = edge[cur] " " bare(dep)
      next
    }
    /^    [^ ]/ { if (virt) { p = $0; sub(/^ +/, "", p); edge[cur] = edge[cur] " " bare(p) }; next }
    END {
      n = 0
      while ((getline p < named) > 0) { if (!(p in in_)) { in_[p] = 1; queue[n++] = p } }
      for (i = 0; i < n; i++) {
        m = split(edge[queue[i]], d, " ")
        for (j = 1; j <= m; j++) if (!(d[j] in in_)) { in_[d[j]] = 1; queue[n++] = d[j] }
      }
      for (p in in_) print p
    }' "$work/apt" | sort -u >"$work/closure"
  mkdir -p "$cache_dir"
  find "$cache_dir" -name 'closure-*' -mmin +600 -delete 2>/dev/null || true
  mv "$work/closure" "$closure"
fi
dpkg-query -W -f='${Package} ${Priority} ${Essential}\n' |
  awk '$2 == "required" || $3 == "yes" { print $1 }' | sort -u >"$work/base"
sort -u "$closure" "$work/base" >"$work/allowed"

# --- the verdict -------------------------------------------------------------------
awk -F'\t' -v setup="$setup" -v verbose="$verbose" -v pairs="$work/pairs" -v owners="$work/owners" -v allowed="$work/allowed" '
  function alias(p) {
    if (p ~ /^\/usr\/(lib|lib64|bin|sbin)\//) return substr(p, 5)
    if (p ~ /^\/(lib|lib64|bin|sbin)\//) return "/usr" p
    return ""
  }
  function own(p) { return (p in owner) ? owner[p] : (alias(p) in owner) ? owner[alias(p)] : "" }
  BEGIN {
    while ((getline l < pairs) > 0) { split(l, a, "\t"); real[a[1]] = a[2] }
    while ((getline l < owners) > 0) {
      split(l, a, "\t"); n = split(a[2], ow, ", "); s = ""
      for (i = 1; i <= n; i++) { sub(/:.*/, "", ow[i]); s = s " " ow[i] }
      owner[a[1]] = owner[a[1]] s
    }
    while ((getline l < allowed) > 0) ok[l] = 1
  }
  $1 == "missing" { problems[++np] = "not on this machine: " $2; next }
  {
    o = own($2)
    if (o == "" && ($2 in real)) o = own(real[$2])
    if (o == "") { problems[++np] = "not from a Debian package: " $1 " " $2; next }
    n = split(o, list, " "); covered = 0
    for (i = 1; i <= n; i++) { if (!(list[i] in all)) all[list[i]] = $1 " " $2; if (list[i] in ok) covered = 1 }
    if (!covered && !(list[1] in example)) { example[list[1]] = $1 " " $2; bad[++nb] = list[1] }
    files++
  }
  END {
    for (i = 1; i <= nb; i++)
      printf "check-setup: %s is used by the build but not installed by %s (%s)\n", bad[i], setup, example[bad[i]]
    for (i = 1; i <= np; i++) printf "check-setup: %s\n", problems[i]
    for (p in all) { packages++; if (verbose) printf "  %s: %s\n", p, all[p] | "sort" }
    close("sort")
    if (nb || np) exit 1
    printf "check-setup: the %d packages owning the %d files the build used come from %s\n", packages, files, setup
  }' "$work/outside"
