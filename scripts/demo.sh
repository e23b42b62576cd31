#!/usr/bin/env bash
# The main job. Builds everything, makes the sample mailbox, starts the stand-in host with the
# real corvane.dll and gantrel.dll under Wine (on Xvfb when there is no display), sorts the
# inbox with Alt+L, checks every move against the rules checker's preview, undoes the run with
# Alt+P and checks that every message file is back, byte for byte. Screenshots of the dialogs
# go to build/demo/. Exits non-zero on any difference.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh win32 win64 >/dev/null
source scripts/wine-env.sh
source scripts/grabber.sh
wine_prepare_prefix
wine_ensure_display
out="$PWD/build/demo"
rm -rf "$out" && mkdir -p "$out"
start_grabber "$out"
trap 'stop_grabber; wine_stop_display' EXIT
set +e
CORVANE_SCREENSHOT_DIR="$out" wine_exec build/win64/bin/standhost.exe --script scripts/demo.script \
  --report "$(winepath_of "$out/report.txt")" >/dev/null 2>&1
status=$?
set -e
iconv -c -f CP932 -t UTF-8 "$out/report.txt"
echo
echo "screenshots: $(ls "$out"/*.png 2>/dev/null | wc -l) in build/demo/"
exit $status
