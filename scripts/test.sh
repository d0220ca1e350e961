#!/usr/bin/env bash
# Builds everything and runs every test (unit, integration, GUI offscreen). CI runs this.
# A full run (no arguments) then builds the Debian packages and checks them; arguments go to
# ctest and skip the packages.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake --preset default >/dev/null
cmake --build --preset default
export QT_QPA_PLATFORM=offscreen
ctest --preset default "$@"
if [ $# -eq 0 ]; then
  ./scripts/package.sh
  bash packaging/tests/check_packages.sh build/package
fi
