#!/usr/bin/env bash
# The whole test run on a fresh Debian 12 machine: installs what is missing, builds every
# preset and runs every test (native, sanitizers, 64-bit Wine, 32-bit Wine). Exits
# non-zero when anything fails. The thread-sanitizer preset builds and runs only the
# concurrency tests.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/setup.sh
source scripts/xvfb.sh
presets=(linux linux-asan linux-tsan win64 win32)
scripts/build.sh "${presets[@]}"
status=0
for p in "${presets[@]}"; do
  echo "== test $p"
  run=()
  # The thread sanitizer needs the address layout it was built for: on kernels with more
  # address-space randomisation it aborts at start ("unexpected memory mapping").
  [ "$p" != linux-tsan ] || run=(setarch "$(uname -m)" -R)
  "${run[@]}" ctest --preset "$p" -j "$(nproc)" || status=1
done
exit $status
