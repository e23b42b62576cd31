#!/usr/bin/env bash
# Runs one i686 Windows program under 32-bit Wine (the i386 Wine under qemu) with the project's
# win32 prefix and a display; ctest uses it as the emulator of the win32 build.
set -euo pipefail
export CORVANE_WINE=win32
source "$(dirname "$0")/wine-env.sh"
wine_check_runtime
wine_prepare_prefix
wine_ensure_display
trap wine_stop_display EXIT
wine_exec "$@"
