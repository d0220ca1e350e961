#!/usr/bin/env bash
# Builds the programs and runs the main job: mic against simulated pre-amp racks. With a display
# it opens the window; without one it runs mic offscreen, operates it for a few seconds and
# writes a report and a screenshot to build/demo/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake --preset default >/dev/null
cmake --build --preset default
bin=build/default
export KESTANE_REGISTRY_DIR="${KESTANE_REGISTRY_DIR:-$PWD/build/demo/registry}"
mkdir -p "$KESTANE_REGISTRY_DIR"
if [ ! -x "$bin/mic/app/mic" ]; then
    echo "run-mic: the build did not produce $bin/mic/app/mic" >&2
    exit 1
fi
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    exec "$bin/mic/app/mic" --simulate "${RACKS:-4}"
fi
exec "$bin/mic/app/mic" --simulate "${RACKS:-4}" --demo build/demo
