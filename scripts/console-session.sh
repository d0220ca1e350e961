#!/usr/bin/env bash
# Runs a command with mic's console integration turned on, against rookd on the current bus
# (run it under dbus-run-session for a private one):
#   console-session.sh [--feed] BUILD_DIR COMMAND...
# Writes the registry values that turn integration on (console type 6, "Use With Vantor" 1)
# into $KESTANE_REGISTRY_DIR, stands a console program in for the real one where
# $KESTANE_CONSOLE_PROGRAM names none, starts `rookd --register` with every mic line neutral,
# runs COMMAND with $KESTANE_ROOKCTL naming rookctl, ends rookd and exits with COMMAND's
# status. With --feed, once mic has attached, console lines 1 to 3 are moved every few
# seconds (phantom, gain) for a minute, so that channels assigned to them can be watched
# following the console.
set -euo pipefail
feed=0
if [ "${1:-}" = --feed ]; then
    feed=1
    shift
fi
bin=$1
shift
kreg=$bin/tools/kreg/kreg
rookd=$bin/tools/rookd/rookd
rookctl=$bin/tools/rookd/rookctl
for tool in "$kreg" "$rookd" "$rookctl"; do
    [ -x "$tool" ] || { echo "console-session: $tool is missing" >&2; exit 1; }
done
: "${KESTANE_REGISTRY_DIR:?console-session: set KESTANE_REGISTRY_DIR}"
mkdir -p "$KESTANE_REGISTRY_DIR"
if [ -z "${KESTANE_CONSOLE_PROGRAM:-}" ]; then
    export KESTANE_CONSOLE_PROGRAM=$KESTANE_REGISTRY_DIR/vantor
    [ -e "$KESTANE_CONSOLE_PROGRAM" ] || : > "$KESTANE_CONSOLE_PROGRAM"
fi
"$kreg" set 'HKLM\Software\Kestane Vantor\Main' VantorConsoleType REG_DWORD 6
"$kreg" set 'HKCU\Software\KESTANE\mic\Settings' 'Use With Vantor' REG_DWORD 1

pids=()
cleanup() {
    "$rookctl" exit >/dev/null 2>&1 || true
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    wait 2>/dev/null || true
}
trap cleanup EXIT
"$rookd" --register --mic-line 1=1,0,3,0 >"$KESTANE_REGISTRY_DIR/rookd.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do
    "$rookctl" objects >/dev/null 2>&1 && break
    sleep 0.1
done
"$rookctl" objects >/dev/null 2>&1 || {
    echo "console-session: rookd did not come up (see $KESTANE_REGISTRY_DIR/rookd.log)" >&2
    exit 1
}
export KESTANE_ROOKCTL=$rookctl

feed_lines() {
    for _ in $(seq 300); do
        "$rookctl" commands MicLineRook 2>/dev/null | grep -q 'command=276 ' && break
        sleep 0.2
    done
    echo "console: mic attached; moving console lines 1-3 (assign channels to them to follow)"
    for round in $(seq 15); do
        sleep 4
        local phantom=$((round % 2)) gain=$((3 + round % 11))
        for line in 1 2 3; do
            "$rookctl" mic-line "$line" "$phantom" 0 "$gain" 0 >/dev/null || return 0
        done
        echo "console: lines 1-3 pushed: phantom $([ $phantom = 0 ] && echo on || echo off), gain step $gain"
    done
}
if [ $feed = 1 ]; then
    feed_lines &
    pids+=($!)
fi

status=0
"$@" || status=$?
exit $status
