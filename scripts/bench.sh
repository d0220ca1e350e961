#!/usr/bin/env bash
# Builds the Release benchmarks (`bench` preset) and runs each; every benchmark prints its
# figure beside the baseline it ran with, as a ratio. Output also goes to build/bench/results.txt.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake --preset bench >/dev/null
cmake --build --preset bench
out=build/bench/results.txt
: > "$out"
for exe in $(find build/bench/bench -type f -executable -name 'bench_*' | sort); do
    echo "== $(basename "$exe")" | tee -a "$out"
    "$exe" "$@" 2>&1 | tee -a "$out"
done
