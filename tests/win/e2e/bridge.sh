#!/usr/bin/env bash
# orvantis_bridge.exe under Wine against a real broker on 127.0.0.1: a slot
# written into the named section by a copy of the pool (pool_peer.exe) is
# published, a value of another site reaches the section, and Ctrl-C ends it
# with the goodbye, the other site's slot cleared. (Wine's console ends its
# programs without a close event when its window is closed, so that path is
# not shown here.)
. "$(dirname "$0")/lib.sh"
BRIDGE=${BRIDGE:?BRIDGE must name build-windows/orvantis_bridge.exe}
command -v mosquitto >/dev/null && command -v mosquitto_sub >/dev/null ||
  { echo "bridge: skipped (needs mosquitto and mosquitto-clients)"; exit 0; }
. "$(dirname "$0")/../../bridge/lib.sh"
start_broker

# The copy of the pool that holds the section: camera on, CamChan 3.
mkfifo "$TMP/peer.in"
(cd "$TMP" && wine_run 120 "$WINE" "$TESTS_BIN/pool_peer.exe" /WEX_SHARED_MEMORY 1 3 50000 <"$TMP/peer.in" \
  >"$TMP/peer.out" 2>&1) &
BACKGROUND+=($!)
exec 7>"$TMP/peer.in"
poll grep -q ready "$TMP/peer.out" || fail "pool_peer.exe did not start: $(cat "$TMP/peer.out")"
peer() { echo "$1" >&7; }
# slots: the section as the peer reads it, "DiffSum slot0 slot1 ...".
shown() { peer show; sleep 0.3; grep -E '^-?[0-9]+( -?[0-9]+){32}' "$TMP/peer.out" | tail -n1 | tr -d '\r'; }

# The bridge as site W.
(cd "$TMP" && wine_run 60 "$WINE" "$BRIDGE" --broker "127.0.0.1:$PORT" --site W --keepalive 5 \
  >"$TMP/bridge.out" 2>"$TMP/bridge.err" </dev/null) &
BRIDGE_PID=$!
BACKGROUND+=($!)
poll grep -q "connected to 127.0.0.1:$PORT as site W of pool orvantis" "$TMP/bridge.out" ||
  fail "the bridge did not connect: $(cat "$TMP/bridge.out" "$TMP/bridge.err")"

# Windows -> broker: the peer's motion in slot 3.
peer pass
poll grep -qE '^[1-9][0-9]*' "$TMP/peer.out" || fail "the peer measured nothing"
sum=$(grep -E '^[1-9][0-9]*.?$' "$TMP/peer.out" | head -n1 | tr -d '\r')
retained() { timeout 5 mosquitto_sub -h 127.0.0.1 -p "$PORT" -t "$1" -C 1 -W 3 2>/dev/null; }
slot_published() { [ "$(retained orvantis/W/slot/3)" = "$sum" ]; }
poll slot_published || fail "slot 3 ($sum) not published: $(retained orvantis/W/slot/3)"
[ "$(retained orvantis/W/online)" = 1 ] || fail "site W not online"

# broker -> Windows: site L's slot 5 in the section, DiffSum the pool's sum.
mosquitto_pub -h 127.0.0.1 -p "$PORT" -r -q 1 -t orvantis/L/online -m 1
mosquitto_pub -h 127.0.0.1 -p "$PORT" -r -q 1 -t orvantis/L/slot/5 -m 777
has_remote() { [ "$(shown | cut -d' ' -f1,7)" = "$((sum + 777)) 777" ]; }
poll has_remote || fail "site L's slot 5 not in the section: $(shown)"

# Ctrl-C (Wine turns SIGINT into the console's Ctrl-C event): the closing
# line, status 0, site W offline and slot 5 cleared in the section (a bridge
# that dies leaves it there).
kill -INT "$BRIDGE_PID"
status=0
wait "$BRIDGE_PID" || status=$?
[ "$status" = 0 ] || fail "Ctrl-C: exit status $status"
grep -q "stopped; 0 malformed messages ignored" "$TMP/bridge.out" || fail "Ctrl-C: no closing line"
[ "$(retained orvantis/W/online)" = 0 ] || fail "Ctrl-C: site W still online"
[ "$(shown | cut -d' ' -f7)" = 0 ] || fail "Ctrl-C: site L's slot 5 left in the section"

peer quit
echo "bridge: ok"
