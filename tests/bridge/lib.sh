# Helpers of the bridge tests, sourced after tests/e2e/lib.sh (or its Wine
# Helpers of the bridge tests, sourced after tests/e2e/lib.sh (or its Wine twin): a real
# broker on a free loopback port, and "computers" (sites), each a mount namespace with a
# private /dev/shm so that every section has the real name. All they start is killed at the end.
command -v mosquitto >/dev/null && command -v mosquitto_pub >/dev/null || fail "needs mosquitto and mosquitto-clients"
needs namespaces "needs unshare --mount and a tmpfs mount" unshare --mount sh -c 'mount -t tmpfs tmpfs /dev/shm'
BROKER_PID="" BACKGROUND=()
cleanup_sites() { kill "${BACKGROUND[@]}" $BROKER_PID 2>/dev/null || true; cleanup; }
trap cleanup_sites EXIT

free_port() { perl -MIO::Socket::INET -e 'print IO::Socket::INET->new(LocalAddr => "127.0.0.1", LocalPort => 0,
  Listen => 1)->sockport' || fail "no free port"; }
PORT=$(free_port)
# start_broker: the broker on 127.0.0.1:$PORT (again), keeping nothing between
# runs; lines put into $TMP/broker-extra.conf first are added to its settings.
broker_up() { mosquitto_pub -h 127.0.0.1 -p "$PORT" -t probe -m x 2>/dev/null; }
start_broker() {
  { printf 'allow_anonymous true\npersistence false\nlistener %s 127.0.0.1\n' "$PORT"
    cat "$TMP/broker-extra.conf" 2>/dev/null || true; } >"$TMP/broker.conf"
  mosquitto -c "$TMP/broker.conf" >>"$TMP/broker.log" 2>&1 &
  BROKER_PID=$!
  poll broker_up || fail "the broker did not start: $(tail -n 3 "$TMP/broker.log")"
}

# start_site NAME: a process holding a mount namespace with its own /dev/shm.
site_ready() { [ "$(cat "/proc/$1/comm" 2>/dev/null)" = sleep ]; }
start_site() {
  unshare --mount sh -c 'mount -t tmpfs -o size=1m,mode=1777 tmpfs /dev/shm && exec sleep 600' &
  eval "HOLD_$1=$!"
  BACKGROUND+=($!)
  poll site_ready $! || fail "site $1 did not start"
}
# start_bridge SITE [OPTION]...: its bridge inside the site's namespace.
start_bridge() {
  local site=$1 hold=HOLD_$1
  shift
  nsenter --mount="/proc/${!hold}/ns/mnt" -- "$BRIDGE" --broker "127.0.0.1:$PORT" --site "$site" --keepalive 5 \
    "$@" >>"$TMP/bridge-$site.out" 2>>"$TMP/bridge-$site.err" &
  eval "BRIDGE_$site=$!"
  BACKGROUND+=($!)
}
section() { eval "echo /proc/\$HOLD_$1/root/dev/shm/WEX_SHARED_MEMORY"; }

# field SITE INDEX: an int32 of the section (0 DiffSum, 1 + n slot n).
field() { od -A n -t d4 -j $((4 * $2)) -N 4 "$(section "$1")" 2>/dev/null | tr -d ' '; }
# set_slot SITE N VALUE: what a copy with a camera on CamChan N writes.
set_slot() {
  perl -e 'print pack("l<", $ARGV[0])' -- "$3" | dd of="$(section "$1")" bs=1 seek=$((4 + 4 * $2)) conv=notrunc status=none
}
is_field() { [ "$(field "$1" "$2")" = "$3" ]; }
# wait_field SITE INDEX VALUE WHAT [SECONDS]: bounded wait, in tenths of a second.
wait_field() {
  local i
  for ((i = 0; i < ${5:-10} * 10; i++)); do is_field "$1" "$2" "$3" && return 0 || sleep 0.1; done
  fail "$4: field $2 on $1 is $(field "$1" "$2"), expected $3"
}
connected() { [ "$(grep -c "connected to" "$TMP/bridge-$1.out" 2>/dev/null)" -ge "$2" ]; }
