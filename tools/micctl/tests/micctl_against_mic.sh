#!/usr/bin/env bash
# micctl against the real mic with simulated racks: get, set, a refusal, dump as JSON, watch,
# and the exit code when nobody answers.
set -euo pipefail
mic=$1 micctl=$2
work=$(mktemp -d)
export KESTANE_REGISTRY_DIR=$work/registry KESTANE_STATE_DIR=$work XDG_RUNTIME_DIR=$work
export QT_QPA_PLATFORM=offscreen
port=$(python3 -c 'import socket; s=socket.socket(socket.AF_INET, socket.SOCK_DGRAM); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
"$mic" --simulate 2 --osc "$port" 2>"$work/mic.err" &
pid=$!
trap 'kill $pid 2>/dev/null; wait $pid 2>/dev/null; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; cat "$work/mic.err"; exit 1; }
ctl() { "$micctl" "$@" --port "$port"; }

# Both racks on line, within a generous time.
for _ in $(seq 1 150); do
    [ "$(ctl get 2/online 2>/dev/null || true)" = 1 ] && break
    sleep 0.2
done
[ "$(ctl get 2/online)" = 1 ] || fail "rack 2 never came on line"

ctl set 1/3/gain 45 >/dev/null || fail "set gain"
[ "$(ctl get 1/3/gain)" = 45 ] || fail "gain not read back"
ctl set 2/12/phantom on >/dev/null || fail "set phantom"
ctl set 2/12/name 'Rm "L", far' >/dev/null || fail "set name"
[ "$(ctl get /mic/rack/2/channel/12/phantom)" = 1 ] || fail "phantom not read back"

# Rack 3 is not there: refused with the reason, exit code 1.
set +e
out=$(ctl set 3/1/pad on 2>&1); rc=$?
set -e
[ $rc -eq 1 ] || fail "off-line set exit code $rc"
echo "$out" | grep -q "rack is off line" || fail "no reason: $out"
# A wrong value never leaves micctl: exit code 2.
set +e; ctl set 1/1/gain 99 2>/dev/null; rc=$?; set -e
[ $rc -eq 2 ] || fail "bad value exit code $rc"

ctl dump > "$work/dump.json" || fail "dump"
python3 - "$work/dump.json" <<'PY' || fail "dump content"
import json, sys
d = json.load(open(sys.argv[1]))
assert d["version"].startswith("mic "), d["version"]
assert len(d["racks"]) == 16 and all(len(r["channels"]) == 12 for r in d["racks"])
assert d["racks"][0]["online"] and d["racks"][1]["online"] and not d["racks"][2]["online"]
assert d["racks"][0]["channels"][2]["gain"] == 45
ch = d["racks"][1]["channels"][11]
assert ch["phantom"] is True and ch["name"] == 'Rm "L", far', ch
PY

# watch sees a change made by someone else.
ctl watch --count 1 --for 20 > "$work/watch.txt" &
watcher=$!
sleep 1
ctl set 1/5/phase on >/dev/null || fail "set phase"
wait $watcher || fail "watch exit code"
grep -q '^/mic/rack/1/channel/5/phase 1$' "$work/watch.txt" || fail "watch saw: $(cat "$work/watch.txt")"

# Nobody on this port: exit code 3.
set +e; "$micctl" get /mic/version --port 1 --timeout 300 2>/dev/null; rc=$?; set -e
[ $rc -eq 3 ] || fail "no-answer exit code $rc"
"$micctl" --help | grep -q "Exit codes" || fail "help"
echo "micctl against mic: all good"
