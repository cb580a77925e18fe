#!/usr/bin/env bash
# Turns a fresh Debian 12 machine (run as root) into a Grovane build machine.
# Idempotent: a second run checks what is there and finishes in seconds.
set -euo pipefail

packages=(
  cmake ninja-build g++ make pkg-config dpkg-dev
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64
  libz-mingw-w64-dev
  wine wine64 wine32:i386 xvfb xauth fonts-liberation
  libpng-dev zlib1g-dev googletest libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev clang-format
  dpf-plugins-vst libx11-dev x11-utils
)

missing=()
have_i386=$(dpkg --print-foreign-architectures | grep -c '^i386$' || true)
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed$'; then
    missing+=("$p")
  fi
done

# Source packages are needed to build libpng for the Windows targets.
src_list=/etc/apt/sources.list.d/grovane-src.sources
need_update=0
if [ ! -f "$src_list" ]; then
  {
    echo "Types: deb-src"
    echo "URIs: http://deb.debian.org/debian"
    echo "Suites: bookworm bookworm-updates"
    echo "Components: main"
    echo "Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg"
    echo
    echo "Types: deb-src"
    echo "URIs: http://deb.debian.org/debian-security"
    echo "Suites: bookworm-security"
    echo "Components: main"
    echo "Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg"
  } >"$src_list"
  need_update=1
fi
if [ "$have_i386" = 0 ]; then
  dpkg --add-architecture i386
  need_update=1
fi

if [ ${#missing[@]} -gt 0 ] || [ "$need_update" = 1 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  if [ ${#missing[@]} -gt 0 ]; then
    echo "setup: installing ${missing[*]}"
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  fi
fi
echo "setup: system packages present"
