#!/usr/bin/env bash
# Runs one Windows program under 64-bit Wine with the project's prefix and a display; ctest
# uses it as the emulator of the win64 build.
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"
wine_prepare_prefix
wine_ensure_display
trap wine_stop_display EXIT
wine_exec "$@"
