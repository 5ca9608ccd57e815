#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when they are missing.
# Usage: scripts/setup.sh [extra package ...]
set -euo pipefail

packages=(
  cmake ninja-build g++ make pkg-config
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix mingw-w64-tools wine64 wine wine32:i386
  libwine-dev
  libboost-dev libncurses-dev tmux xvfb nsis
  nginx nginx-dev libssl-dev libpcre2-dev zlib1g-dev
  debhelper dpkg-dev lintian curl
)
# Wanted by the tests but not needed to build or run: the browser test skips without chromium,
# the fuzz targets without clang and its libFuzzer runtime, the web farm's test and benchmark
# without redis-server.
optional=(chromium clang libclang-rt-14-dev redis-server)
packages+=("$@")

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
updated=false
# Another installation may hold the package manager's lock for a while: wait for it.
apt_get=(apt-get -o DPkg::Lock::Timeout=600)

# The 32-bit Wine (wine32:i386) runs the x86 build's tests.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo_cmd[@]}" dpkg --add-architecture i386
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  "${sudo_cmd[@]}" "${apt_get[@]}" update -qq
  updated=true
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" "${apt_get[@]}" install -y -qq --no-install-recommends \
    "${missing[@]}" >/dev/null
fi

for p in "${optional[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" && continue
  echo "setup: installing $p"
  $updated || { "${sudo_cmd[@]}" "${apt_get[@]}" update -qq || true; updated=true; }
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" "${apt_get[@]}" install -y -qq --no-install-recommends \
    "$p" >/dev/null || echo "setup: $p could not be installed; the tests that need it are skipped"
done
