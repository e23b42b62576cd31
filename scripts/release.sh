#!/usr/bin/env bash
# Makes the release package: build/release/corvane-<VERSION>.zip with the 32-bit DLLs, the Japanese
# user guide (Shift-JIS, CR LF) and the licence texts of what the binaries contain.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh >/dev/null
bash scripts/build.sh win32 >/dev/null
version=$(head -n 1 VERSION)
name=corvane-$version
stage=build/release/$name
rm -rf build/release && mkdir -p "$stage/licenses"
# The DLLs as built (stripped once linked): the very files the win32 tests run.
cp build/win32/bin/corvane.dll build/win32/bin/gantrel.dll "$stage/"
to_sjis_crlf() { sed 's/\r$//; s/$/\r/' "$1" | iconv -f UTF-8 -t CP932 > "$2"; }
# The guide's header carries the version as @CORVANE_VERSION@, filled in here.
sed "s/@CORVANE_VERSION@/$version/g" docs/readme-ja.txt > "$stage/readme.utf8"
to_sjis_crlf "$stage/readme.utf8" "$stage/readme.txt"
rm "$stage/readme.utf8"
if [ -f docs/check-guide-ja.md ]; then
  to_sjis_crlf docs/check-guide-ja.md "$stage/corvane-check.txt"
fi
if [ -f build/win32/bin/corvane-check.exe ]; then
  cp build/win32/bin/corvane-check.exe "$stage/"
fi
cp third_party/onig/COPYING "$stage/licenses/Oniguruma.txt"
cp /usr/share/doc/gcc-mingw-w64-base/copyright "$stage/licenses/GCC-runtime.txt"
cp /usr/share/doc/mingw-w64-common/copyright "$stage/licenses/mingw-w64.txt"
(cd build/release && rm -f "$name.zip" && zip -qr "$name.zip" "$name")
echo "build/release/$name.zip"
unzip -l "build/release/$name.zip"
