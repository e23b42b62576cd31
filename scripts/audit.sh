#!/usr/bin/env bash
# Audit of the 32-bit deliverables: what only a real 32-bit host would trip over.
#   audit.sh exports FILE NAME...   the module exports exactly these names
#   audit.sh imports FILE [NAME...] the module imports Windows system DLLs only, these names among them
set -euo pipefail
objdump=${OBJDUMP:-i686-w64-mingw32-objdump}  # another build passes its own
mode=$1 file=$2
shift 2
case $mode in
  exports)
    actual=$($objdump -p "$file" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' \
      | sed -n 's/^\s*\[ *[0-9]*\] //p' | sort)
    expected=$(printf '%s\n' "$@" | sort)
    if [ "$actual" != "$expected" ]; then
      echo "exports of $file differ:"; diff <(echo "$expected") <(echo "$actual") || true
      exit 1
    fi
    echo "$(basename "$file"): exports exactly $# names"
    ;;
  imports)
    allowed='^(kernel32|user32|gdi32|comctl32|comdlg32|advapi32|shell32|shlwapi|winmm|ole32|oleaut32|msvcrt|version|ntdll)\.dll$'
    bad=0
    for dll in $($objdump -p "$file" | sed -n 's/^\s*DLL Name: //p'); do
      if ! echo "$dll" | tr 'A-Z' 'a-z' | grep -Eq "$allowed"; then
        echo "$(basename "$file") imports $dll, which is not a Windows system DLL"
        bad=1
      fi
    done
    names=$($objdump -p "$file" | sed -n '/DLL Name:/,$p' | awk 'NF == 3 && $1 ~ /^[0-9a-f]+$/ {print $3}')
    for name in "$@"; do
      if ! grep -qx "$name" <<<"$names"; then
        echo "$(basename "$file") does not import $name"
        bad=1
      fi
    done
    [ $bad -eq 0 ] && echo "$(basename "$file"): imports Windows system DLLs only${1:+, $* among them}"
    exit $bad
    ;;
  *) echo "usage: audit.sh exports|imports FILE [NAME...]" >&2; exit 2 ;;
esac
