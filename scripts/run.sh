#!/usr/bin/env bash
# The main job on a fresh Debian 12 machine: installs what is missing, builds the
# deliverables and the host tool, then loads the 64-bit VST2 plug-in under Wine and
# renders the demo signal through it and plots its response. Results land in out/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/setup.sh
source scripts/xvfb.sh
scripts/build.sh linux win64 win32
mkdir -p out
host=build/win64/tools/grovane-host.exe
plugin=build/win64/formats/vst2/Grovane-VST2.dll
if [ -f "$host" ] && [ -f "$plugin" ]; then
  run() { scripts/wine-run "$root/build/win64/wineprefix" win64 "$@"; }
  run "$host" info "$plugin"
  run "$host" render "$plugin" --out out/demo-grovane.wav
  run "$host" response "$plugin" --out out/response.png
  echo "run: wrote out/demo-grovane.wav and out/response.png"
else
  echo "run: built everything; the VST2 library or the host tool is not built yet"
fi
