#!/usr/bin/env bash
# The whole test run: set-up, the three builds, native unit tests (ASan/UBSan) with the fuzz
# corpus replay, the i686 audit, and every Windows test under Wine on one Xvfb display.
set -uo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)

bash scripts/setup.sh || exit 1
bash scripts/build.sh native win32 win64 || exit 1

source scripts/wine-env.sh
wine_prepare_prefix
wine_ensure_display || exit 1
# One persistent Wine server and its services for the whole run, started apart from ctest's
# output pipes (a service that inherits them keeps ctest waiting for their end).
/usr/lib/wine/wineserver -p >/dev/null 2>&1 </dev/null || true
wine_exec cmd /c exit >/dev/null 2>&1 </dev/null || true
cleanup() {
  /usr/lib/wine/wineserver -k 2>/dev/null || true
  wine_stop_display
}
trap cleanup EXIT

passed=0 failed=0 status=0
run_ctest() {
  local preset=$1; shift
  echo "== test $preset"
  local log
  log=$(mktemp)
  ctest --preset "$preset" "$@" 2>&1 | tee "$log"
  local rc=${PIPESTATUS[0]}
  local line
  line=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
  if [ -n "$line" ]; then
    local total fail
    total=$(echo "$line" | sed -E 's/.* out of ([0-9]+).*/\1/')
    fail=$(echo "$line" | sed -E 's/.*passed, ([0-9]+) tests? failed.*/\1/')
    passed=$((passed + total - fail))
    failed=$((failed + fail))
  fi
  rm -f "$log"
  [ "$rc" -eq 0 ] || status=1
}

run_ctest native -j "$(nproc)"
run_ctest win32
run_ctest win64

echo "corvane: $passed passed, $failed failed"
exit $status
