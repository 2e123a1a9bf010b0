#!/usr/bin/env bash
# Propagation between a Linux and a Windows computer through the bridges, on
# one machine: a broker (mosquitto) on 127.0.0.1, Linux sites A and B (mount
# namespaces with a private /dev/shm, orvantis_bridge each) and a Windows
# site W (a Wine prefix of its own with orvantis_bridge.exe and pool_peer.exe
# holding the section), all bridges reading at 30 Hz. One driver on Linux
# times every change from its write to its arrival, over CHANGES changes each
# (the next change 0 to 33.3 ms after an arrival, about 30 per second):
#   A -> B  Linux -> Linux (the baseline: sections read directly),
#   A -> W  Linux -> Windows (W's section read through pool_peer.exe "show"),
#   W -> A  Windows -> Linux (W's slot set by pool_peer.exe "pass"/"clear").
# Going through pool_peer.exe's console adds its round trip (printed) to the
# Windows figures.
#
#   bench/bridge_mixed.sh LINUX_BRIDGE BUILD_WINDOWS [changes]    (default 1000)
#
# LINUX_BRIDGE: build*/orvantis_bridge; BUILD_WINDOWS: the folder of
# scripts/build-windows.sh (orvantis_bridge.exe, tests/pool_peer.exe). Needs
# mosquitto, Wine, unshare and nsenter (root); use a quiet machine.
set -euo pipefail
bridge=$(realpath "$1") win=$(realpath "$2") changes=${3:-1000}
tmp=$(mktemp -d /tmp/orvantis-mixed-XXXXXX)
export WINEPREFIX=$tmp/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=C.UTF-8
if [ -x /usr/lib/wine/wine64 ]; then wine=/usr/lib/wine/wine64; else wine=wine64; fi
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wineserver -k 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT
port=$(perl -MIO::Socket::INET -e 'print IO::Socket::INET->new(LocalAddr => "127.0.0.1", LocalPort => 0,
  Listen => 1)->sockport')
printf 'allow_anonymous true\npersistence false\nset_tcp_nodelay true\nlistener %s 127.0.0.1\n' "$port" >"$tmp/broker.conf"
mosquitto -c "$tmp/broker.conf" >"$tmp/broker.log" 2>&1 &
pids+=($!)
mkdir -p "$WINEPREFIX"
wineserver -p
timeout 120 "$wine" wineboot -i </dev/null >/dev/null 2>&1 || true
declare -A hold
for site in A B; do
  unshare --mount sh -c 'mount -t tmpfs -o size=1m,mode=1777 tmpfs /dev/shm && exec sleep 3600' &
  pids+=($!)
  hold[$site]=$!
done
sleep 1
for site in A B; do
  nsenter --mount="/proc/${hold[$site]}/ns/mnt" -- "$bridge" --broker "127.0.0.1:$port" --site "$site" --rate 30 \
    >"$tmp/bridge-$site.log" 2>&1 &
  pids+=($!)
done
# W: the copy holding the section (camera on, CamChan 5), then its bridge.
mkfifo "$tmp/peer.in"
: >"$tmp/peer.out"
"$wine" "$win/tests/pool_peer.exe" /WEX_SHARED_MEMORY 1 5 50000 <"$tmp/peer.in" >"$tmp/peer.out" 2>&1 &
pids+=($!)
"$wine" "$win/orvantis_bridge.exe" --broker "127.0.0.1:$port" --site W --rate 30 >"$tmp/bridge-W.log" 2>&1 </dev/null &
pids+=($!)
python3 - "$changes" "/proc/${hold[A]}/root/dev/shm/WEX_SHARED_MEMORY" "/proc/${hold[B]}/root/dev/shm/WEX_SHARED_MEMORY" \
  "$tmp/peer.in" "$tmp/peer.out" <<'EOF'
import mmap, os, random, struct, sys, time
changes, path_a, path_b, peer_in, peer_out = int(sys.argv[1]), *sys.argv[2:]
def section(path):
    for _ in range(200):
        try:
            with open(path, "r+b") as f:
                return mmap.mmap(f.fileno(), 1024)
        except (FileNotFoundError, ValueError):
            time.sleep(0.05)
    sys.exit("no section at " + path)
a, b = section(path_a), section(path_b)
slot = lambda s, n: struct.unpack_from("<i", s, 4 + 4 * n)[0]
def set_slot(s, n, v): struct.pack_into("<i", s, 4 + 4 * n, v)
to_peer = open(peer_in, "w", buffering=1)
from_peer = open(peer_out, "r")
def ask(command):
    to_peer.write(command + "\n")
    while True:
        line = from_peer.readline()
        if line:
            line = line.strip()
            if line and line != "ready":
                return line
        else:
            time.sleep(0.0001)
w_slot = lambda n: int(ask("show").split()[1 + n])
def wait(read, value, limit=2.0):
    start = time.monotonic()
    while read() != value:
        if time.monotonic() - start > limit:
            return None
        time.sleep(0.0001)
    return time.monotonic()
def report(what, times, lost):
    times.sort()
    at = lambda q: times[int(q * (len(times) - 1))] if times else 0
    print(f"{what}: {changes} changes, p50 {at(0.5):.1f} ms, p99 {at(0.99):.1f} ms, max {at(1.0):.1f} ms, lost {lost}")
def measure(what, write, read, values):
    times, lost = [], 0
    for v in values:
        t = time.monotonic()
        write(v)
        arrived = wait(read, v)
        if arrived is None:
            lost += 1
        else:
            times.append((arrived - t) * 1000)
        time.sleep(random.random() / 30)
    report(what, times, lost)
# Everyone joined: A's slot 3 reaches B and W, W's slot 5 reaches A.
set_slot(a, 3, 1)
sum_w = int(ask("pass"))
if wait(lambda: slot(b, 3), 1, 20) is None or wait(lambda: w_slot(3), 1, 20) is None or \
   wait(lambda: slot(a, 5), sum_w, 20) is None:
    sys.exit("the bridges did not join")
start = time.monotonic()
for _ in range(200):
    ask("show")
print(f"pool_peer.exe round trip: {(time.monotonic() - start) * 5:.2f} ms")
measure("Linux -> Linux   (A -> B)", lambda v: set_slot(a, 3, v), lambda: slot(b, 3), range(1000, 1000 + changes))
measure("Linux -> Windows (A -> W)", lambda v: set_slot(a, 3, v), lambda: w_slot(3), range(5000, 5000 + changes))
# W's slot goes between its motion and 0 ("clear" empties W's section).
measure("Windows -> Linux (W -> A)", lambda v: ask("pass" if v else "clear"), lambda: slot(a, 5),
        [0 if i % 2 == 0 else sum_w for i in range(changes)])
to_peer.write("quit\n")
EOF
