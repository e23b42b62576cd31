#!/usr/bin/env bash
# The main job: builds everything and runs the stand-in host with the real plug-in under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh win32 win64
source scripts/wine-env.sh
wine_prepare_prefix
wine_ensure_display
trap wine_stop_display EXIT
echo "== stand-in host with corvane.dll"
wine_exec build/win64/bin/standhost.exe "$@" | iconv -f CP932 -t UTF-8
