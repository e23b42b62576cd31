#!/usr/bin/env bash
# The main job, on the files users install. Builds the i686 deliverables, makes the sample
# mailbox, starts the i686 stand-in host with the i686 corvane.dll and gantrel.dll under 32-bit
# Wine (on Xvfb when there is no display), sorts the inbox with Alt+L, checks every move against
# the rules checker's preview, undoes the run with Alt+P and checks that every message file is
# back, byte for byte. Screenshots of the dialogs go to build/demo/. Exits non-zero on any
# difference.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh win32 >/dev/null
export CORVANE_WINE=win32
source scripts/wine-env.sh
source scripts/grabber.sh
wine_check_runtime
wine_prepare_prefix
wine_ensure_display
out="$PWD/build/demo"
rm -rf "$out" && mkdir -p "$out"
start_grabber "$out"
trap 'stop_grabber; wine_stop_display' EXIT
bin=build/win32/bin
format() { i686-w64-mingw32-objdump -f "$1" | sed -n 's/.*file format //p'; }
echo "demo: $bin/standhost.exe ($(format "$bin/standhost.exe")) with"
for dll in corvane.dll gantrel.dll; do
  echo "  $bin/$dll ($(format "$bin/$dll"), sha256 $(sha256sum "$bin/$dll" | cut -c1-16)...)"
done
echo "  under 32-bit Wine ($WINE_LOADER through $(readlink /usr/local/libexec/corvane/qemu-i386-binfmt-P))"
set +e
CORVANE_SCREENSHOT_DIR="$out" wine_exec "$bin/standhost.exe" --script scripts/demo.script \
  --report "$(winepath_of "$out/report.txt")" >/dev/null 2>&1
status=$?
set -e
iconv -c -f CP932 -t UTF-8 "$out/report.txt"
echo
echo "screenshots: $(ls "$out"/*.png 2>/dev/null | wc -l) in build/demo/"
exit $status
