#!/usr/bin/env bash
# Renders every dialog of the plug-in under Wine on Xvfb (Japanese fonts) and saves PNG files
# in docs/screenshots/. The test program writes a request (geometry and name) into
# docs/screenshots/.request whenever a dialog is ready; this script grabs that part of the X
# screen and removes the request. Needs the win64 build.
set -euo pipefail
cd "$(dirname "$0")/.."
out="$PWD/docs/screenshots"
mkdir -p "$out"
rm -f "$out/.request"
bash scripts/build.sh win64 >/dev/null
source scripts/wine-env.sh
wine_prepare_prefix
wine_ensure_display
source scripts/grabber.sh
start_grabber "$out"
trap 'stop_grabber; wine_stop_display' EXIT
CORVANE_SCREENSHOT_DIR="$out" wine_exec build/win64/tests/windows/corvane_wine_tests.exe --gtest_filter='Screenshots.*:Playground.Screenshot'
ls -l "$out"
