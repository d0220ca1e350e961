#!/usr/bin/env bash
# mic with console integration against rookd on a private session bus (run under
# dbus-run-session): both receivers attach after a few not-ready answers, a pushed mic-line
# image moves the assigned channels, close codes 0 and 3 change nothing while 1 closes mic with
# its snapshot saved, and a killed server leaves mic running.
#   console_integration.sh MIC ROOKD ROOKCTL KREG
set -euo pipefail
mic=$1 rookd=$2 rookctl=$3 kreg=$4
work=$(mktemp -d)
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill -9 "$p" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    for f in "$work"/*.log; do echo "--- $f" >&2; tail -20 "$f" >&2; done
    exit 1
}
# Waits up to $1 seconds for the command after it to succeed.
until_ok() {
    local seconds=$1
    shift
    for _ in $(seq $((seconds * 10))); do
        if "$@" >/dev/null 2>&1; then return 0; fi
        sleep 0.1
    done
    return 1
}

export KESTANE_REGISTRY_DIR=$work/registry KESTANE_STATE_DIR=$work/state
export QT_QPA_PLATFORM=offscreen KESTANE_CONSOLE_PROGRAM=$work/vantor
mkdir -p "$KESTANE_STATE_DIR"
touch "$KESTANE_CONSOLE_PROGRAM"
"$kreg" set 'HKLM\Software\Kestane Vantor\Main' VantorConsoleType REG_SZ 6
"$kreg" set 'HKCU\Software\KESTANE\mic\Settings' 'Use With Vantor' REG_DWORD 1
snapshot=$KESTANE_STATE_DIR/RestoreSnapshot-simulated.mic

# Rack 1, channels 1 and 2 on console line 5, channel 3 on line 6; all at gain step 3.
python3 - "$snapshot" <<'PY'
import struct, sys
data = bytearray(5008)
for i, line in ((0, 5), (1, 5), (2, 6)):
    struct.pack_into('<I', data, 4 * i, line)
for i in range(192):
    struct.pack_into('<I', data, 768 + 4 * i, 3)
open(sys.argv[1], 'wb').write(data)
PY
setting() {  # channel index -> its stored setting, top bit cleared
    python3 -c "import struct,sys; print(struct.unpack_from('<I', open(sys.argv[1],'rb').read(), 768 + 4*int(sys.argv[2]))[0] & 0x7F)" "$snapshot" "$1"
}

"$rookd" --register >"$work/rookd.log" 2>&1 &
pids+=($!)
until_ok 10 "$rookctl" objects || fail "rookd did not come up"
"$rookctl" not-ready 5

"$mic" --simulate 1 >"$work/mic.log" 2>&1 &
mic_pid=$!
pids+=($mic_pid)
until_ok 30 sh -c "'$rookctl' commands ClientMonitorRook | grep -q 'command=192'" ||
    fail "mic did not attach the client monitor"
"$rookctl" commands MicLineRook | grep -q 'command=276 size=16' || fail "no mic-line attach"
"$rookctl" commands ClientMonitorRook | grep -q 'command=192 size=224 c000000000000000e00000000000000000000000000000006d696300' ||
    fail "the client monitor attach does not name mic"

sleep 4  # the simulated rack comes on line
"$rookctl" mic-line 5 0 0 9 0 | grep -q . || fail "the image was not pushed"
"$rookctl" close 0 >/dev/null
"$rookctl" close 3 >/dev/null
sleep 2
kill -0 "$mic_pid" 2>/dev/null || fail "close codes 0 and 3 closed mic"
"$rookctl" close 1 >/dev/null
for _ in $(seq 200); do kill -0 "$mic_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$mic_pid" 2>/dev/null && fail "close code 1 did not close mic"
wait "$mic_pid" || fail "mic ended with $?"
[ "$(setting 0)" = 73 ] || fail "channel 1 is $(setting 0), not phantom on at gain step 9"
[ "$(setting 1)" = 73 ] || fail "channel 2 is $(setting 1), not phantom on at gain step 9"
[ "$(setting 2)" = 3 ] || fail "channel 3 on another line moved to $(setting 2)"

# A server that dies: mic makes no further calls, so it keeps running on its racks.
"$mic" --simulate 1 >"$work/mic2.log" 2>&1 &
mic_pid=$!
pids+=($mic_pid)
until_ok 30 sh -c "'$rookctl' commands ClientMonitorRook | grep -c 'command=192' | grep -q 2" ||
    fail "the second mic did not attach"
"$rookctl" die >/dev/null 2>&1 || true
sleep 2
kill -0 "$mic_pid" 2>/dev/null || fail "mic ended when the server died"
grep -q "Severe Error" "$work/mic2.log" && fail "a dead server with no call pending took the severe path"
kill "$mic_pid"
echo "mic console integration against rookd: ok"
