#!/usr/bin/env bash
# Runs one i686 Windows program under 32-bit Wine (the i386 Wine under qemu) with the project's
# win32 prefix and a display; ctest uses it as the emulator of the win32 build.
CORVANE_WINE=win32 exec "$(dirname "$0")/wine-run.sh" "$@"
