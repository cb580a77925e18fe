#!/usr/bin/env bash
# Configures and builds the given presets (default: all five): build.sh [PRESET...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(linux linux-asan linux-tsan win64 win32)
for p in "${presets[@]}"; do
  case $p in
    win64|win32) scripts/build-libpng.sh "$p" "$root/build/$p/deps" ;;
  esac
  [ -f "build/$p/build.ninja" ] || cmake --preset "$p" >/dev/null
  echo "== build $p"
  cmake --build --preset "$p"
done
