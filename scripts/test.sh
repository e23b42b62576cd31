#!/usr/bin/env bash
# The whole test run: set-up, the native and i686 builds, native unit tests (ASan/UBSan) with
# the fuzz corpus replay, the i686 audit, and every Windows test of the i686 build (the shipped
# DLLs) under 32-bit Wine on one Xvfb display; with CORVANE_WIN64=1 also the x86_64 build under
# 64-bit Wine.
set -uo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)

# The x86_64 build under 64-bit Wine tests no file that ships and doubles the Windows test time
# (README, "32-bit runtime"); CORVANE_WIN64=1 adds it.
windows=(win32)
[ "${CORVANE_WIN64:-0}" = 1 ] && windows+=(win64)

bash scripts/setup.sh || exit 1
bash scripts/build.sh native "${windows[@]}" || exit 1

# Every Windows test runs in the win32 build (the DLLs users install) under 32-bit Wine, and in
# the win64 build under 64-bit Wine when asked for. Each runtime gets one persistent Wine server
# and its services for the whole run, started apart from ctest's output pipes (a service that
# inherits them keeps ctest waiting for their end), and all share one Xvfb display.
source scripts/wine-env.sh
wine_ensure_display || exit 1
start_runtime() {
  (
    export CORVANE_WINE=$1
    source scripts/wine-env.sh
    wine_check_runtime || exit 1
    wine_prepare_prefix
    wine_server -p >/dev/null 2>&1 </dev/null || true
    wine_exec cmd /c exit >/dev/null 2>&1 </dev/null || true
  )
}
stop_runtime() {
  (export CORVANE_WINE=$1; source scripts/wine-env.sh; wine_server -k 2>/dev/null || true)
}
cleanup() {
  stop_runtime win32
  stop_runtime win64
  wine_stop_display
}
trap cleanup EXIT

passed=0 failed=0 status=0
summary=()
run_ctest() {
  local preset=$1; shift
  echo "== test $preset"
  local log
  log=$(mktemp)
  local start=$SECONDS
  ctest --preset "$preset" "$@" 2>&1 | tee "$log"
  local rc=${PIPESTATUS[0]}
  local line total=0 fail=0
  line=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
  if [ -n "$line" ]; then
    total=$(echo "$line" | sed -E 's/.* out of ([0-9]+).*/\1/')
    fail=$(echo "$line" | sed -E 's/.*passed, ([0-9]+) tests? failed.*/\1/')
  elif [ "$rc" -ne 0 ]; then
    total=1 fail=1  # ctest itself failed: count it, never read it as a pass
  fi
  passed=$((passed + total - fail))
  failed=$((failed + fail))
  summary+=("${label:-$preset}: $((total - fail)) passed, $fail failed")
  echo "== $preset took $((SECONDS - start)) s"
  rm -f "$log"
  [ "$rc" -eq 0 ] || status=1
}

run_ctest native -j "$(nproc)"
# Without the 32-bit runtime ctest cannot even list the win32 tests (the listing itself runs
# under 32-bit Wine): the win32 line counts that as a failure, with the reason above, never as
# a pass.
if start_runtime win32; then
  run_ctest win32
  # What the win32 run tested: the release check compares the zipped DLLs with this record.
  (cd build/win32/bin && { echo "# ${summary[-1]}, $(date -u '+%Y-%m-%d %H:%M UTC')"
                           sha256sum corvane.dll gantrel.dll; } > ../tested.sha256)
  sed -n 's/^\([0-9a-f]\{16\}\)[0-9a-f]* *\(.*\)/win32 ran \2 (sha256 \1...)/p' build/win32/tested.sha256
else
  echo "test: 32-bit Wine cannot run on this machine: the win32 tests count as failed" >&2
  summary+=("win32: 0 passed, 1 failed")
  failed=$((failed + 1)) status=1
fi
if [[ " ${windows[*]} " == *" win64 "* ]]; then
  start_runtime win64
  run_ctest win64
else
  # The x86_64 hook library is audited (imports, sections, size) even when its Windows tests
  # do not run: building it alone takes seconds.
  if cmake --preset win64 >/dev/null && cmake --build --preset win64 --target gantrel \
      gantrel_probe_static_constructor gantrel_probe_no_unwind_tables >/dev/null; then
    label="win64 gantrel.dll audit" run_ctest win64 \
      -R '^audit\.gantrel_(exports|imports|sections|size|sections_fails_on_(static_constructor|no_unwind_tables))$'
  else
    echo "test: the x86_64 gantrel.dll could not be built" >&2
    failed=$((failed + 1)) status=1
  fi
fi

for line in "${summary[@]}"; do
  case "$line" in win*) echo "$line" ;; esac
done
echo "corvane: $passed passed, $failed failed"
exit $status
