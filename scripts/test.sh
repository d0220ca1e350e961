#!/usr/bin/env bash
# Builds everything and runs every test (unit, integration, GUI offscreen). CI runs this.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake --preset default >/dev/null
cmake --build --preset default
export QT_QPA_PLATFORM=offscreen
ctest --preset default "$@"
