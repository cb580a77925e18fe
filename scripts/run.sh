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
run() { scripts/wine-run "$root/build/win64/wineprefix" win64 "$@"; }
run "$host" info "$plugin"
run "$host" render "$plugin" --out out/grovane-demo.wav
run "$host" response "$plugin" --out out/grovane-response.png
run "$host" response "$plugin" --param-text Amplitude=6 --out out/grovane-response-q6.png
echo "run: out/grovane-demo.wav (the demo bass line through Grovane's defaults),"
echo "     out/grovane-response.png and out/grovane-response-q6.png (magnitude response at"
echo "     the defaults and with Amplitude (Q) 6), all from the 64-bit Windows DLL under Wine"
