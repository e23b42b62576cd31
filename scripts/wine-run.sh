#!/usr/bin/env bash
# Runs one Windows program under Wine with the project's prefix and a display: 64-bit Wine by
# default, the i386 Wine under qemu with CORVANE_WINE=win32. ctest uses it as the emulator of
# the win64 build (and, through wine32-run.sh, of the win32 build).
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"
wine_check_runtime
wine_prepare_prefix
wine_ensure_display
trap wine_stop_display EXIT
wine_exec "$@"
