#!/usr/bin/env bash
# Audit of one build of the hook library, which runs inside the host's process and so must bring
# nothing of its own to start. The tools come from the build's own toolchain, so each build
# checks its own file.
#   gantrel-audit.sh OBJDUMP STRIP exports FILE NAME...      exports exactly these names
#   gantrel-audit.sh OBJDUMP STRIP imports FILE DLL!NAME...  imports exactly these functions
#   gantrel-audit.sh OBJDUMP STRIP sections FILE NAME...     no section but these (stripped),
#                                                            those marked +NAME present, no TLS,
#                                                            no static constructors
#   gantrel-audit.sh OBJDUMP STRIP size FILE BYTES           stripped, smaller than BYTES
set -euo pipefail
objdump=$1 strip=$2 mode=$3 file=$4
shift 4
name=$(basename "$file")

# The checks of what ships read the file as stripped, into $stripped.
strip_copy() {
  stripped=$(mktemp)
  trap 'rm -f "$stripped"' EXIT
  "$strip" --strip-unneeded -o "$stripped" "$file"
}

case $mode in
  exports)
    OBJDUMP=$objdump exec "$(dirname "$0")/../../scripts/audit.sh" exports "$file" "$@"
    ;;
  imports)
    # Lines of the import tables: "DLL Name: X" starts a DLL, "vma hint name" lists a function.
    actual=$($objdump -p "$file" | awk '
      /^\tDLL Name: / { dll = tolower($3); next }
      /^The Export Tables/ { dll = "" }
      dll != "" && /^\t[0-9a-f]+\t +[0-9]+  [A-Za-z_]/ { print dll "!" $3 }' | sort)
    expected=$(printf '%s\n' "$@" | sed 's/^\([^!]*\)/\L\1/' | sort)
    if [ "$expected" != "$actual" ]; then
      echo "$name: imports differ (< expected, > actual):"
      diff <(echo "$expected") <(echo "$actual") || true
      exit 1
    fi
    echo "$name: imports exactly $# functions"
    ;;
  sections)
    strip_copy
    actual=$($objdump -h "$stripped" | awk '/^ +[0-9]+ /{print $2}' | sort)
    # .tls holds per-thread data and callbacks that run at every thread start.
    if echo "$actual" | grep -qx '\.tls'; then
      echo "$name: has a .tls section"
      exit 1
    fi
    tls=$($objdump -p "$file" | awk '/Thread Storage Directory/{print $3 $4}')
    if [ -n "$(echo "$tls" | tr -d 0)" ]; then
      echo "$name: has a TLS directory"
      exit 1
    fi
    unexpected=$(comm -23 <(echo "$actual") <(printf '%s\n' "${@#+}" | sort))
    if [ -n "$unexpected" ]; then
      echo "$name: unexpected sections:" $unexpected
      exit 1
    fi
    missing=$(comm -13 <(echo "$actual") <(printf '%s\n' "$@" | sed -n 's/^+//p' | sort))
    if [ -n "$missing" ]; then
      echo "$name: lacks sections:" $missing
      exit 1
    fi
    # The linker gathers static constructors between these two symbols, after a -1 and before
    # a 0; nothing else there means that no code was meant to run at start-up.
    # awk reads to the end: leaving early would end objdump by SIGPIPE, which pipefail turns
    # into a failure of the whole check whenever the table outgrows the pipe.
    symbol() { $objdump -t "${GANTREL_SYMBOLS:-$file}" | awk -v s="$1" '$NF == s && !n++ {print $(NF-1)}'; }
    ctors=$(symbol ___CTOR_LIST__) dtors=$(symbol ___DTOR_LIST__)
    if [ -z "$ctors" ] || [ -z "$dtors" ]; then
      echo "$name: no symbol table to look for static constructors in"
      exit 1
    fi
    pointer=$([ "$($objdump -f "$file" | grep -c x86-64)" -gt 0 ] && echo 8 || echo 4)
    if [ $((dtors - ctors)) -ne $((2 * pointer)) ]; then
      echo "$name: has static constructors"
      exit 1
    fi
    echo "$name: sections $(echo $actual), no TLS, no static constructors"
    ;;
  size)
    strip_copy
    bytes=$(stat -c %s "$stripped")
    if [ "$bytes" -ge "$1" ]; then
      echo "$name: $bytes bytes stripped, not under $1"
      exit 1
    fi
    echo "$name: $bytes bytes stripped (under $1)"
    ;;
  *) echo "usage: gantrel-audit.sh OBJDUMP STRIP exports|imports|sections|size FILE ARG..." >&2; exit 2 ;;
esac
