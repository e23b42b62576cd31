#!/usr/bin/env bash
# Runs the soak test under Wine: cycles of distribute and undo over a thousand messages in a
# mailbox whose folders reuse the inbox's keys, with the process's resources at cycle 10 and at
# the end. Usage: scripts/soak.sh [cycles] (100).
set -euo pipefail
cd "$(dirname "$0")/.."
export CORVANE_SOAK_CYCLES="${1:-100}"
# The x86_64 build under 64-bit Wine: the test command no longer builds it.
bash scripts/build.sh win64 >/dev/null
exec scripts/wine-run.sh build/win64/tests/windows/corvane_wine_tests.exe \
  --gtest_also_run_disabled_tests --gtest_filter='Soak.*'
