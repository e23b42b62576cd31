#!/usr/bin/env bash
# Builds the optimised native build and runs every benchmark: literal algorithms and the
# plug-in's side by side in one run. Extra arguments go to Google Benchmark.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh >/dev/null
cmake --preset bench >/dev/null
cmake --build --preset bench >/dev/null
build/bench/bench/corvane_bench "$@"
