#!/usr/bin/env bash
# The bridge between computers, end to end: a real broker on 127.0.0.1 and two
# sites, A and B, each a mount namespace with a private /dev/shm so that both
# use the section's real name; B's slot n is pool slot n + 1.
. "$(dirname "$0")/../e2e/lib.sh"
BRIDGE=${BRIDGE:?BRIDGE must name build/orvantis_bridge}
# A bad option ends the bridge at once with status 78 and names the option.
timeout 10 "$BRIDGE" --keepalive 4 >/dev/null 2>"$TMP/refused.err" && status=0 || status=$?
[ "$status" = 78 ] && grep -q -- "--keepalive" "$TMP/refused.err" || fail "--keepalive 4: status $status"
"$BRIDGE" --version | grep -qxE "orvantis_bridge [0-9]+\.[0-9]+\.[0-9]+" || fail "--version: $("$BRIDGE" --version)"
. "$(dirname "$0")/lib.sh"

start_broker
start_site A && start_bridge A
start_site B && start_bridge B --slot-offset 1
for site in A B; do poll connected $site 1 || fail "bridge $site never connected: $(cat "$TMP/bridge-$site.err")"; done
# Bytes beyond the slots belong to nobody here; they must survive everything.
printf 'KEEP-ME' | dd of="$(section B)" bs=1 seek=500 conv=notrunc status=none
# Motion on A: slot 3 and DiffSum on B.
set_slot A 3 50000
wait_field B 3 50000 "pool slot 3 from A" 5
set_slot A 3 0
wait_field B 3 0 "pool slot 3 dropped on A" 5

# Garbage on the pool's topics changes nothing; a good value sent after it
# (same broker, later) shows when B has read it all.
set_slot A 3 700
wait_field B 3 700 "pool slot 3 again" 5
for junk in slot/3=abc slot/3=99999999999 slot/3=2147483648 "slot/3= 5" slot/32=5 slot/03=5 slot/-1=5 online=yes \
  =1 slot/3/x=5 "slot/3=$(head -c 4000 /dev/zero | tr '\0' 7)" "slot/3=$(printf '1\001')"; do
  topic=orvantis/A/${junk%%=*}
  mosquitto_pub -h 127.0.0.1 -p "$PORT" -q 1 -t "${topic%/}" -m "${junk#*=}" || fail "mosquitto_pub $junk"
done
set_slot B 7 -5
set_slot A 5 123
wait_field B 5 123 "pool slot 5 after the garbage" 5
wait_field A 9 -5 "B's slot 7 in A's slot 8"
is_field B 3 700 || fail "garbage changed pool slot 3 on B: $(field B 3)"
is_field B 0 818 || fail "B's DiffSum should be 818, is $(field B 0)"
set_slot A 9 1 && set_slot B 8 2 && sleep 2
for site in A B; do
  grep -qx "orvantis_bridge: pool slot 9 is published by both A and B, the last value wins; --slot-offset 0 on B would \
separate them" "$TMP/bridge-$site.err" || fail "no collision line on $site within 2 s: $(cat "$TMP/bridge-$site.err")"
done
set_slot A 9 0 && set_slot B 8 0 # whichever value won, pool slot 9 is nobody's again
wait_field A 10 0 "pool slot 9 back to 0 on A" && wait_field B 9 0 "pool slot 9 back to 0 on B"

# A clean stop of B: exit status 0, the remote slots it wrote cleared.
kill -TERM "$BRIDGE_B" && wait "$BRIDGE_B" && status=0 || status=$?
[ "$status" = 0 ] || fail "bridge B ended with status $status on SIGTERM"
is_field B 3 0 && is_field B 5 0 || fail "bridge B left slots 2 and 4 at $(field B 3), $(field B 5) when it stopped"
malformed=$(grep -oE "stopped; [0-9]+ malformed messages ignored" "$TMP/bridge-B.out" | grep -oE "[0-9]+") ||
  fail "no closing line from B"
[ "$malformed" -ge 11 ] || fail "B counted $malformed malformed messages, 11 were sent"
# A bridge started later takes the retained value of A, which is online.
start_bridge B --slot-offset 1
wait_field B 3 700 "pool slot 3 for a bridge started later" 5

# The broker restarts (it keeps nothing): values flow again within seconds.
kill "$BROKER_PID" && { wait "$BROKER_PID" 2>/dev/null || true; }
wait_field B 3 0 "pool slot 3 with the broker gone" 5
set_slot A 3 4242
start_broker
wait_field B 3 4242 "pool slot 3 after the broker restart" 10

# kill -9 of A: its last will comes after 1.5 keepalives; B clears slot 3
# within three keepalives (15 s).
kill -9 "$BRIDGE_A"
wait "$BRIDGE_A" 2>/dev/null || true
wait_field B 3 0 "pool slot 3 after A was killed" 15
is_field B 0 -5 || fail "B's DiffSum should be B's own -5 without A, is $(field B 0)"
[ "$(dd if="$(section B)" bs=1 skip=500 count=7 status=none)" = KEEP-ME ] || fail "the reserved bytes of B changed"
echo "bridge_sites: ok"
