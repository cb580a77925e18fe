#!/usr/bin/env bash
# Builds libpng (static) for a Windows target from Debian's own source package:
#   build-libpng.sh win64|win32 PREFIX
# The source is fetched once into build/deps-src; a prefix that already holds the
# library is left alone.
set -euo pipefail
target=$1 prefix=$2
root=$(cd "$(dirname "$0")/.." && pwd)
case $target in
  win64) triple=x86_64-w64-mingw32 ;;
  win32) triple=i686-w64-mingw32 ;;
  *) echo "build-libpng: unknown target $target" >&2; exit 2 ;;
esac
[ -f "$prefix/lib/libpng.a" ] && exit 0

src_root=$root/build/deps-src
mkdir -p "$src_root"
(
  flock 9
  if ! ls -d "$src_root"/libpng1.6-*/ >/dev/null 2>&1; then
    cd "$src_root"
    # apt-get source as root warns that it cannot drop privileges; that is expected.
    # Where the .dsc of a security update is missing the upstream tarball still arrives.
    apt-get source -qq libpng1.6 >/dev/null 2>&1 || true
    if ! ls -d libpng1.6-*/ >/dev/null 2>&1; then
      orig=$(ls libpng1.6_*.orig.tar.* 2>/dev/null | head -n 1)
      [ -n "$orig" ] || { echo "build-libpng: could not fetch the libpng1.6 source" >&2; exit 1; }
      mkdir -p libpng1.6-orig && tar xf "$orig" -C libpng1.6-orig --strip-components=1
    fi
  fi
) 9>"$src_root/.lock"
src=$(ls -d "$src_root"/libpng1.6-*/ | head -n 1)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake -S "$src" -B "$work" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-$target.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
  -DPNG_HARDWARE_OPTIMIZATIONS=ON -DSKIP_INSTALL_PROGRAMS=ON -DSKIP_INSTALL_FILES=ON \
  -DZLIB_LIBRARY="/usr/$triple/lib/libz.a" -DZLIB_INCLUDE_DIR="/usr/$triple/include" \
  >"$work/configure.log" 2>&1 || { cat "$work/configure.log"; exit 1; }
cmake --build "$work" --target install >"$work/build.log" 2>&1 || { cat "$work/build.log"; exit 1; }
echo "build-libpng: libpng for $target in $prefix"
