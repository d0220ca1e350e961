#!/usr/bin/env bash
# Builds the libFuzzer harnesses (clang, `fuzz` preset) and runs them.
#   scripts/fuzz.sh                 list the harnesses
#   scripts/fuzz.sh NAME [SECONDS]  run one harness (default 600 s) on its corpus
#   scripts/fuzz.sh all [SECONDS]   run every harness in turn
# Corpora grow in build/fuzz-corpus/NAME (seeded from fuzz/*/seeds/NAME when present);
# findings are written to build/fuzz-artifacts/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz >/dev/null
bin=build/fuzz/fuzz
mapfile -t harnesses < <(find "$bin" -maxdepth 2 -type f -executable -name 'fuzz_*' -printf '%f\n' | sort)
if [ $# -eq 0 ]; then
    printf '%s\n' "${harnesses[@]}"
    exit 0
fi
seconds=${2:-600}
run_one() {
    local name=$1 exe
    exe=$(find "$bin" -maxdepth 2 -type f -name "$name" | head -1)
    [ -n "$exe" ] || { echo "no harness named $name" >&2; return 2; }
    local corpus=build/fuzz-corpus/$name
    mkdir -p "$corpus" build/fuzz-artifacts
    for seeds in fuzz/*/seeds/"$name"; do
        [ -d "$seeds" ] && cp -n "$seeds"/* "$corpus"/ 2>/dev/null || true
    done
    echo "== $name for ${seconds}s"
    "$exe" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix=build/fuzz-artifacts/"$name"- "$corpus"
}
if [ "$1" = all ]; then
    for h in "${harnesses[@]}"; do run_one "$h"; done
else
    run_one "$1"
fi
