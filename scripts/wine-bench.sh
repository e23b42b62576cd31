#!/usr/bin/env bash
# The 1,000-message distribute benchmark under Wine, optimised builds, on both runtimes in one
# run: the i686 deliverable under 32-bit Wine (qemu) and the x86_64 build under 64-bit Wine.
# Prints each run's figures (the plug-in's own time per message, split into reading, matching
# and the progress step) and what the 32-bit runtime costs against the 64-bit one.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh >/dev/null
bash scripts/build.sh win32 >/dev/null
cmake --preset win64-release >/dev/null
cmake --build --preset win64-release -j "$(nproc)" >/dev/null
filter=(--gtest_also_run_disabled_tests --gtest_filter='DistributeBench.*')
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
echo "== win32: build/win32 (i686, Release) under 32-bit Wine"
scripts/wine32-run.sh build/win32/tests/windows/corvane_wine_tests.exe "${filter[@]}" 2>&1 \
  | iconv -c -f CP932 -t UTF-8 | tee "$out/win32" | grep -E '^(  |[a-z].*messages)'
echo "== win64: build/win64-release (x86_64, Release) under 64-bit Wine"
scripts/wine-run.sh build/win64-release/tests/windows/corvane_wine_tests.exe "${filter[@]}" 2>&1 \
  | iconv -c -f CP932 -t UTF-8 | tee "$out/win64" | grep -E '^(  |[a-z].*messages)'
grep -q '\[  PASSED  \]' "$out/win32" && grep -q '\[  PASSED  \]' "$out/win64" \
  || { echo "wine-bench: a run failed"; cat "$out/win32" "$out/win64"; exit 1; }
# Per run (in order): own us per message, file read, matching, progress step.
figures() {
  awk '/plug-in.s own time/ { sub(/.*ms, /, ""); printf "%s ", $1 }
       /of which: file read/ { gsub(/[^0-9. ]/, " "); n = split($0, f, " "); printf "%s %s %s\n", f[1], f[2], f[3] }' "$1"
}
echo "== 32-bit runtime against 64-bit (us per message: win32 / win64 = ratio)"
paste -d' ' <(figures "$out/win32") <(figures "$out/win64") | awk '
  function r(a, b) { return b > 0 ? sprintf("%.2f", a / b) : "-" }
  { run = (NR == 1 ? "eleven rules" : "twelve rules, none matches")
    printf "%s: own %.1f / %.1f = %s; read %.1f / %.1f = %s; match %.1f / %.1f = %s; progress step %.1f / %.1f = %s\n",
      run, $1, $5, r($1, $5), $2, $6, r($2, $6), $3, $7, r($3, $7), $4, $8, r($4, $8) }'
