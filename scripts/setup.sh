#!/usr/bin/env bash
# Installs the Debian packages Addrscope needs to build, test and run.
# Safe to run again: packages already present are left alone.
set -euo pipefail

packages=(
  # build
  build-essential cmake pkg-config ninja-build ccache
  qt6-base-dev qt6-base-dev-tools libgl-dev
  zlib1g-dev nlohmann-json3-dev libcurl4-openssl-dev libssl-dev
  libcli11-dev libsqlite3-dev
  # tests, fuzzing, benchmarks and the format check
  libgtest-dev libgmock-dev libbenchmark-dev libcpp-httplib-dev
  clang-14 libclang-rt-14-dev clang-format git
  iproute2 iputils-ping traceroute time openssl
  xvfb xauth
  # what the programs load at run time
  qt6-qpa-plugins libqt6svg6
  # the Debian package and its validators
  dpkg-dev file desktop-file-utils appstream
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && { echo "setup: all packages present"; exit 0; }

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
echo "setup: installed ${missing[*]}"
