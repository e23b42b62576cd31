#!/usr/bin/env bash
# Runs the libFuzzer targets (clang, ASan and UBSan) for a given time each.
#   scripts/fuzz.sh [SECONDS] [TARGET...]     default: 300 seconds, every target
# Each target starts from its saved corpus (fuzz/corpus/NAME) and grows a working copy under
# build/fuzz/corpus/NAME; crashes land in build/fuzz/crashes/NAME. Add a crash input to the saved
# corpus (and a regression test) once it is fixed: the test command replays the saved corpus.
set -uo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-300}
shift || true
bash scripts/setup.sh >/dev/null
cmake --preset fuzz >/dev/null && cmake --build --preset fuzz >/dev/null || exit 1
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for source in fuzz/*Fuzz.cpp; do targets+=("$(basename "$source" .cpp)"); done
fi
status=0
for target in "${targets[@]}"; do
  work=build/fuzz/corpus/$target crashes=build/fuzz/crashes/$target
  mkdir -p "$work" "$crashes"
  cp -n fuzz/corpus/"$target"/* "$work"/ 2>/dev/null || true
  log=build/fuzz/$target.log
  build/fuzz/fuzz/"$target" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$crashes/" "$work" >"$log" 2>&1
  rc=$?
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -n 1)
  echo "$target: exit $rc, $execs runs in ${seconds}s, $cov, corpus $(ls "$work" | wc -l)"
  [ $rc -eq 0 ] || { status=1; tail -n 30 "$log"; }
done
exit $status
