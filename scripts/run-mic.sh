#!/usr/bin/env bash
# Builds the programs and runs the main job: mic against simulated pre-amp racks, following a
# console whose object server (rookd) runs on a private bus of this run. With a display it opens
# the window while console lines 1-3 move every few seconds; without one it runs mic offscreen,
# operates it for a few seconds, drives console mic lines through rookd and writes a report and
# a screenshot to build/demo/.
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
# Without a bus daemon (or with NO_CONSOLE=1) mic runs on its own, not following a console.
console=()
if [ -z "${NO_CONSOLE:-}" ] && command -v dbus-run-session >/dev/null; then
    console=(dbus-run-session -- bash scripts/console-session.sh)
fi
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    if [ ${#console[@]} -gt 0 ]; then
        console+=(--feed "$bin")
        echo "run-mic: console lines 1-3 move every few seconds; type 1, 2 or 3 into a" \
             "channel's console box to make it follow them"
    fi
    exec "${console[@]}" "$bin/mic/app/mic" --simulate "${RACKS:-4}"
fi
if [ ${#console[@]} -gt 0 ]; then
    console+=("$bin")
fi
# The demonstration ends by itself within a minute; the time limit only guards against a hang.
exec "${console[@]}" timeout 300 "$bin/mic/app/mic" --simulate "${RACKS:-4}" --demo build/demo
