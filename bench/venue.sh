#!/usr/bin/env bash
# A venue on one machine: rooms of 32 sites, each site a "computer" of its own
# (a mount namespace with a private /dev/shm, its own orvantis_bridge reading
# its section at 30 Hz), one camera slot per site, every slot changing at
# 29.97 Hz (see venue_driver.cpp), one broker (mosquitto) on 127.0.0.1 for every room (each room a pool
# of its own, --pool roomN). venue_driver writes the slots, times the arrivals
# on another site and looks for every final value on every site; the bridges'
# and the broker's CPU come from /proc/<pid>/stat, the broker's message counts
# from its $SYS topics.
#
#   bench/venue.sh BUILD_REL [seconds] [scale_seconds] [max_rooms]
#
# BUILD_REL: the release build (cmake --preset bench; targets orvantis_bridge
# venue_driver). First one room for `seconds` (default 600), then 1, 2, ...
# rooms for `scale_seconds` each (default 60; 0 leaves the scaling out) until
# the broker stops keeping up (p99 of the sampled slot over 1 s, or a final
# value missing) or `max_rooms` (default 8) ran. `seconds` 0 leaves the first
# run out. When the bridge has --slot-offset, site k of a room runs with
# --slot-offset k and its camera writes local slot 0 (one webcam per
# computer); without it, site k's camera writes local slot k directly (the same
# messages). BROKER_EXTRA: lines added to the broker's settings (for
# example "max_queued_messages 5000"). Needs mosquitto, mosquitto-clients,
# unshare and nsenter (root).
set -euo pipefail
build=$(realpath "$1") seconds=${2:-600} scale_seconds=${3:-60} max_rooms=${4:-8}
bridge=$build/orvantis_bridge driver=$build/bench/venue_driver
if [ ! -x "$bridge" ] || [ ! -x "$driver" ]; then
  echo "venue.sh: build orvantis_bridge and venue_driver in $build" >&2
  exit 2
fi
tmp=$(mktemp -d /tmp/orvantis-venue-XXXXXX)
pids=()
stop_all() {
  # The bridges first (each says "offline" and disconnects), then the rest.
  [ ${#pids[@]} -eq 0 ] && return
  kill "${pids[@]}" 2>/dev/null || true
  for pid in "${pids[@]}"; do
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$pid" 2>/dev/null || true
  done
  pids=()
}
cleanup() { stop_all; [ -n "${KEEP:-}" ] || rm -rf "$tmp"; }
trap cleanup EXIT
if "$bridge" --help | grep -q -- --slot-offset; then offsets=yes; else offsets=no; fi
echo "venue: $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg) at the start; slot offsets by" \
  "$([ $offsets = yes ] && echo "--slot-offset" || echo "local slot k written directly (no --slot-offset)")"
[ -n "${BROKER_EXTRA:-}" ] && echo "broker settings added: $BROKER_EXTRA"

# run ROOMS SECONDS: one measured venue from a fresh broker to the last site stopped.
run() {
  local rooms=$1 length=$2 run=$tmp/run-$1-$2 r k port broker
  mkdir -p "$run"
  port=$(perl -MIO::Socket::INET -e 'print IO::Socket::INET->new(LocalAddr => "127.0.0.1", LocalPort => 0,
    Listen => 1)->sockport')
  printf 'allow_anonymous true\npersistence false\nset_tcp_nodelay true\nsys_interval 1\nlistener %s 127.0.0.1\n%s\n' \
    "$port" "${BROKER_EXTRA:-}" >"$run/broker.conf"
  mosquitto -c "$run/broker.conf" >"$run/broker.log" 2>&1 &
  broker=$!
  pids+=("$broker")
  for _ in $(seq 100); do mosquitto_pub -h 127.0.0.1 -p "$port" -t probe -m x 2>/dev/null && break; sleep 0.1; done
  # shellcheck disable=SC2016 # the broker's own $SYS topics
  mosquitto_sub -h 127.0.0.1 -p "$port" -F '%U %t %p' -t '$SYS/broker/publish/messages/#' >"$run/sys.log" 2>&1 &
  pids+=($!)
  # Room 0's publications, counted by one more subscriber (the broker's own
  # count of received PUBLISH packets leaves out QoS 1 ones).
  mosquitto_sub -h 127.0.0.1 -p "$port" -F '%U' -t 'room0/+/slot/+' >"$run/room0.log" 2>&1 &
  pids+=($!)
  declare -A hold
  for ((r = 0; r < rooms; r++)); do
    for ((k = 0; k < 32; k++)); do
      unshare --mount sh -c 'mount -t tmpfs -o size=1m,mode=1777 tmpfs /dev/shm && exec sleep 100000' &
      hold[$r.$k]=$!
      pids+=($!)
    done
  done
  for key in "${!hold[@]}"; do
    for _ in $(seq 100); do [ "$(cat "/proc/${hold[$key]}/comm" 2>/dev/null)" = sleep ] && break; sleep 0.05; done
  done
  : >"$run/sites"
  for ((r = 0; r < rooms; r++)); do
    for ((k = 0; k < 32; k++)); do
      local extra=() own=$k offset=0
      [ $offsets = yes ] && extra=(--slot-offset "$k") own=0 offset=$k
      nsenter --mount="/proc/${hold[$r.$k]}/ns/mnt" -- "$bridge" --broker "127.0.0.1:$port" --pool "room$r" \
        --site "s$k" --rate 30 "${extra[@]}" >"$run/bridge-$r-$k.out" 2>"$run/bridge-$r-$k.err" &
      pids+=($!)
      echo "$r $k $offset $own ${hold[$r.$k]} $!" >>"$run/sites"
    done
  done
  local load_before
  load_before=$(cut -d' ' -f1-3 /proc/loadavg)
  for ((i = 0; i < 600; i++)); do
    [ "$(cat "$run"/bridge-*.out | grep -c "connected to")" -ge $((rooms * 32)) ] && break
    sleep 0.1
  done
  echo
  echo "== $rooms room(s) of 32 sites, $length s; load average $load_before before"
  local status=0
  "$driver" "$length" "$run/sites" "$broker" | tee "$run/driver.txt" | grep -v '^window' || status=$?
  echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
  # Over the window: room 0's publications (the counting subscriber's lines)
  # and the broker's deliveries ($SYS, once a second; they include the
  # counting subscriber's own and the $SYS ones, taken off here).
  local from to
  from=$(awk '/^window starts/ { print $3 }' "$run/driver.txt")
  to=$(awk '/^window ends/ { print $3 }' "$run/driver.txt")
  awk -v from="$from" -v to="$to" -v rooms="$rooms" '
    FILENAME ~ /room0/ { if ($1 >= from && $1 <= to) room0++; next }
    # A count is published when it changes: the one in force at the start
    # is the last one before it.
    $2 == "$SYS/broker/publish/messages/sent" || $2 == "$SYS/broker/publish/messages/dropped" {
      w = $2 ~ /sent/ ? "s" : "d"
      if ($1 <= from) { t1[w] = $1; c1[w] = $3 }
      if ($1 <= to) { t2[w] = $1; c2[w] = $3 }
    }
    END {
      published = room0 / (to - from)
      printf "room 0: %.0f publications per second (%.1f per site)\n", published, published / 32
      if (t2["s"] > t1["s"])
        printf "broker: %.0f deliveries per second in all, %.0f per room without the counting subscriber\n",
          (c2["s"] - c1["s"]) / (t2["s"] - t1["s"]), ((c2["s"] - c1["s"]) / (t2["s"] - t1["s"]) - published) / rooms
      printf "broker: %d messages dropped over the run, %d before it (joining)\n", c2["d"] - c1["d"], c1["d"]
    }' "$run/room0.log" "$run/sys.log" | tee "$run/summary.txt"
  local errors
  errors=$(cat "$run"/bridge-*.err | sort | uniq -c | sort -rn | head -n 5)
  if [ -z "$errors" ]; then echo "bridges: nothing on standard error"; else
    echo "bridges' standard error (count, line):"
    echo "$errors"
  fi
  stop_all
  dropped=$(awk '/messages dropped/ { print $2 }' "$run/summary.txt")
  p99=$(awk '/pool slot 0/ && /p99/ { for (i = 1; i <= NF; i++) if ($i == "p99") v = $(i + 1) } END { print v + 0 }' \
    "$run/driver.txt")
  return $status
}

if [ "$seconds" != 0 ]; then run 1 "$seconds" || echo "(final values missing: see above)"; fi
# The scaling: more rooms until the sampled slot's p99 passes 1 s or a final
# value is missing; where the broker first drops messages is said on the way.
if [ "$scale_seconds" != 0 ]; then
  summary=()
  for ((rooms = 1; rooms <= max_rooms; rooms++)); do
    status=0
    run "$rooms" "$scale_seconds" || status=$?
    summary+=("$rooms rooms: p99 $p99 ms, $dropped messages dropped, final values $([ $status = 0 ] && echo "all in place" || echo MISSING)")
    if [ $status != 0 ] || awk -v p="$p99" 'BEGIN { exit !(p > 1000) }'; then break; fi
  done
  echo
  echo "scaling, $scale_seconds s each:"
  printf '  %s\n' "${summary[@]}"
fi
echo "venue: load average $(cut -d' ' -f1-3 /proc/loadavg) at the end"
