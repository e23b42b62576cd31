#!/usr/bin/env bash
# Makes the release package and checks it: the files it must hold, the user guide as valid
# Shift-JIS with CR LF line ends, the version resources of both DLLs, and that the DLLs are the
# bytes the win32 tests ran.
set -euo pipefail
cd "$(dirname "$0")/.."
output=$(bash scripts/release.sh)
zip=${output%%$'\n'*}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unzip -q "$zip" -d "$work"
version=$(head -n 1 VERSION)
dir=$work/corvane-$version
[ "$(basename "$zip")" = "corvane-$version.zip" ] || { echo "$zip is not named after the version $version"; exit 1; }
status=0
for file in corvane.dll gantrel.dll readme.txt corvane-check.exe corvane-check.txt \
            licenses/Oniguruma.txt licenses/GCC-runtime.txt licenses/mingw-w64.txt; do
  [ -s "$dir/$file" ] || { echo "missing: $file"; status=1; }
done
for guide in readme.txt corvane-check.txt; do
  iconv -f CP932 -t UTF-8 "$dir/$guide" >/dev/null 2>&1 || { echo "$guide is not valid Shift-JIS"; status=1; }
  lines=$(tr -cd '\n' < "$dir/$guide" | wc -c)
  crlf=$(grep -c $'\r$' "$dir/$guide" || true)
  [ "$lines" -gt 0 ] && [ "$lines" -eq "$crlf" ] || { echo "$guide: $crlf of $lines lines end with CR LF"; status=1; }
done
check_version() {
  strings -el -n 3 "$dir/$1" | grep -qx "$2" || { echo "$1 has no version resource $2"; status=1; }
}
check_version corvane.dll "$version"
iconv -f CP932 -t UTF-8 "$dir/readme.txt" | head -n 3 | grep -q "Corvane $version " ||
  { echo "readme.txt: the header does not name version $version"; status=1; }
check_version gantrel.dll 1.0
# The zipped DLLs are the files the win32 tests load (build/win32/bin), byte for byte; the test
# command records their hashes after its win32 run, and a record that names other bytes means
# the package holds files no test run has seen.
for dll in corvane.dll gantrel.dll; do
  hash=$(sha256sum "$dir/$dll" | cut -d' ' -f1)
  if ! cmp -s "$dir/$dll" "build/win32/bin/$dll"; then
    echo "$dll in the zip differs from build/win32/bin/$dll, the file the win32 tests run"; status=1
  else
    echo "$dll: the same bytes as build/win32/bin/$dll (sha256 $hash)"
  fi
done
record=build/win32/tested.sha256
if [ -f "$record" ]; then
  if (cd "$dir" && grep -E '^[0-9a-f]{64} ' "$OLDPWD/$record" | sha256sum -c --quiet >/dev/null 2>&1); then
    echo "the test command's record matches: $(grep -E '^#' "$record" | sed 's/^# *//')"
  else
    echo "note: the last test command ran other bytes ($(grep -E '^#' "$record" | sed 's/^# *//')): run scripts/test.sh before shipping"
  fi
else
  echo "note: no test command has run on this build yet (no $record)"
fi
[ $status -eq 0 ] && echo "release package ok: $(unzip -l "$zip" | tail -n 1)"
exit $status
