#!/usr/bin/env bash
# The bridge between computers, end to end: a real broker on 127.0.0.1 and two
# "computers", sites A and B, each in a mount namespace with a private
# /dev/shm, so that both use the section's real name. A value written into
# slot 3 on A reaches B's section and steers a real player on B; garbage on
# the pool's topics changes nothing; a broker restart heals; a clean stop of
# B clears what it wrote; a bridge killed with -9 is cleared by its last will.
. "$(dirname "$0")/../e2e/lib.sh"
BRIDGE=${BRIDGE:?BRIDGE must name build/orvantis_bridge}
command -v mosquitto >/dev/null && command -v mosquitto_pub >/dev/null ||
  { echo "bridge_sites: skipped (needs mosquitto and mosquitto-clients)"; exit 0; }
unshare --mount sh -c 'mount -t tmpfs tmpfs /dev/shm' 2>/dev/null ||
  { echo "bridge_sites: skipped (needs unshare --mount and a tmpfs mount)"; exit 0; }

. "$(dirname "$0")/lib.sh"

setup
player_contents

start_broker
start_site A
start_site B
start_bridge A
start_bridge B
poll connected A 1 || fail "bridge A never connected: $(cat "$TMP/bridge-A.err")"
poll connected B 1 || fail "bridge B never connected: $(cat "$TMP/bridge-B.err")"
# Bytes beyond the slots belong to nobody here; they must survive everything.
printf 'KEEP-ME' | dd of="$(section B)" bs=1 seek=500 conv=notrunc status=none

# A real player on B, without a camera: it follows DiffSum.
(cd "$TMP/work" && exec nsenter --mount="/proc/$HOLD_B/ns/mnt" --wd="$TMP/work" -- "$PROGRAM" \
  >"$OUT" 2>"$ERR" </dev/null) &
PLAYER_PID=$!
wait_for_player
sleep 1
still=$(frame_now)
[ -n "$still" ] || fail "no status line from the player"
sleep 0.5
[ "$(frame_now)" = "$still" ] || fail "the player moved without motion"

# Motion on A: slot 3 and DiffSum on B, and the player on B steps.
set_slot A 3 50000
wait_field B 4 50000 "slot 3 from A" 5
wait_field B 0 50000 "B's DiffSum" 2
poll moved_since "$still" || fail "the player on B did not step while A's slot was high"
wait_for_text "DifferenceSum=  50000 (SI.DiffSum=  50000 )"
set_slot A 3 0
wait_field B 4 0 "slot 3 dropped on A" 5
wait_field B 0 0 "B's DiffSum after the drop" 2
sleep 0.3
still=$(frame_now)
sleep 1
[ "$(frame_now)" = "$still" ] || fail "the player on B kept stepping after A's slot dropped"
kill "$PLAYER_PID" && { wait "$PLAYER_PID" 2>/dev/null || true; }
PLAYER_PID=""

# Garbage on the pool's topics changes nothing; a good value sent after it
# (same broker, later) shows when B has read it all.
set_slot A 3 700
wait_field B 4 700 "slot 3 again" 5
before=$(od -A n -t x1 -j 132 "$(section B)" | md5sum)
junk() { mosquitto_pub -h 127.0.0.1 -p "$PORT" -q 1 "$@" || fail "mosquitto_pub $*"; }
junk -t orvantis/A/slot/3 -m abc
junk -t orvantis/A/slot/3 -m 99999999999
junk -t orvantis/A/slot/3 -m 2147483648
junk -t orvantis/A/slot/3 -m ' 5'
junk -t orvantis/A/slot/32 -m 5
junk -t orvantis/A/slot/03 -m 5
junk -t orvantis/A/slot/-1 -m 5
junk -t orvantis/A/online -m yes
junk -t orvantis/A -m 1
junk -t orvantis/A/slot/3/x -m 5
junk -t orvantis/A/slot/3 -m "$(head -c 4000 /dev/zero | tr '\0' 7)"
junk -t orvantis/A/slot/3 -m "$(printf '1\001')"
set_slot A 5 123
wait_field B 6 123 "slot 5 after the garbage" 5
is_field B 4 700 || fail "garbage changed slot 3 on B: $(field B 4)"
is_field B 0 823 || fail "B's DiffSum should be 823, is $(field B 0)"
[ "$(od -A n -t x1 -j 132 "$(section B)" | md5sum)" = "$before" ] || fail "the reserved bytes of B changed"
set_slot A 5 0
wait_field B 6 0 "slot 5 dropped" 5

# The broker restarts (it keeps nothing): values flow again within seconds.
kill "$BROKER_PID" && { wait "$BROKER_PID" 2>/dev/null || true; }
BROKER_PID=""
wait_field B 4 0 "slot 3 with the broker gone" 5
set_slot A 3 4242
start_broker
started=$SECONDS
wait_field B 4 4242 "slot 3 after the broker restart" 10
echo "bridge_sites: values flowed again $((SECONDS - started)) s after the broker restart"

# A clean stop of B: exit status 0, the remote slot it wrote cleared.
kill -TERM "$BRIDGE_B"
status=0
wait "$BRIDGE_B" || status=$?
BRIDGE_B=""
[ "$status" = 0 ] || fail "bridge B ended with status $status on SIGTERM"
is_field B 4 0 || fail "bridge B left slot 3 at $(field B 4) when it stopped"
grep -qE "stopped; [0-9]+ malformed messages ignored" "$TMP/bridge-B.out" || fail "no closing line from B"
malformed=$(grep -oE "stopped; [0-9]+" "$TMP/bridge-B.out" | grep -oE "[0-9]+$")
[ "$malformed" -ge 11 ] || fail "B counted $malformed malformed messages, 11 were sent"

# A bridge started later takes the retained value of A, which is online.
start_bridge B
wait_field B 4 4242 "slot 3 for a bridge started later" 5

# kill -9 of A: its last will comes after 1.5 keepalives; B clears slot 3
# within three keepalives (15 s).
kill -9 "$BRIDGE_A"
wait "$BRIDGE_A" 2>/dev/null || true
BRIDGE_A=""
started=$SECONDS
wait_field B 4 0 "slot 3 after A was killed" 15
echo "bridge_sites: slot 3 cleared $((SECONDS - started)) s after A was killed"
is_field B 0 0 || fail "B's DiffSum should be 0 without A, is $(field B 0)"
[ "$(dd if="$(section B)" bs=1 skip=500 count=7 status=none)" = KEEP-ME ] || fail "the reserved bytes of B changed"
echo "bridge_sites: ok"
