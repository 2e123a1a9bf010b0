#!/usr/bin/env bash
# The page that shows the pool, in headless Chromium, served by a real broker
# (its folder over HTTP and MQTT over WebSockets on one port) with two Linux
# sites A and B and their bridges: both sites online, a slot's new value
# shown at once, a site whose bridge is killed shown offline.
. "$(dirname "$0")/../e2e/lib.sh"
BRIDGE=${BRIDGE:?BRIDGE must name build/orvantis_bridge}
SOURCE=$(cd "$(dirname "$0")/../.." && pwd)
skip() { echo "bridge_page: skipped ($1)"; exit 0; }
command -v mosquitto >/dev/null && command -v mosquitto_pub >/dev/null || skip "needs mosquitto and mosquitto-clients"
unshare --mount sh -c 'mount -t tmpfs tmpfs /dev/shm' 2>/dev/null || skip "needs unshare --mount and a tmpfs mount"
CHROMIUM=$(command -v chromium) || skip "needs chromium (scripts/setup.sh installs it)"
# puppeteer-core, pinned, installed once from npm beside the Windows libraries.
PUPPETEER=puppeteer-core@25.19.0
modules=${XDG_CACHE_HOME:-$HOME/.cache}/orvantis/npm-$PUPPETEER
if [ ! -d "$modules/node_modules/puppeteer-core" ]; then
  command -v npm >/dev/null || skip "needs npm for $PUPPETEER"
  rm -rf "$modules.tmp" && mkdir -p "$modules.tmp"
  npm install --prefix "$modules.tmp" --no-save --no-audit --no-fund --ignore-scripts "$PUPPETEER" >/dev/null 2>&1 ||
    skip "npm could not install $PUPPETEER"
  rm -rf "$modules" && mv "$modules.tmp" "$modules"
fi
. "$(dirname "$0")/lib.sh"

WEB_PORT=$(free_port)
printf 'listener %s 127.0.0.1\nprotocol websockets\nhttp_dir %s\n' "$WEB_PORT" "$SOURCE/bridge/web" \
  >"$TMP/broker-extra.conf"
start_broker
start_site A
start_site B
start_bridge A
start_bridge B
poll connected A 1 && poll connected B 1 || fail "the bridges did not connect: $(cat "$TMP"/bridge-*.err)"

coproc DRIVER { NODE_PATH=$modules/node_modules exec node "$SOURCE/tests/bridge/page_driver.js" "$CHROMIUM" \
  "http://127.0.0.1:$WEB_PORT/index.html?pool=orvantis" 2>"$TMP/driver.err"; }
BACKGROUND+=("$DRIVER_PID")
# shows MILLISECONDS TEXT WHAT: the page shows TEXT within the time; TOOK is how long it took.
shows() {
  local answer
  echo "wait $1 $2" >&"${DRIVER[1]}"
  read -r -t 60 answer <&"${DRIVER[0]}" || fail "$3: no answer from the browser: $(cat "$TMP/driver.err")"
  [[ $answer == ok* ]] || fail "$3: the page does not show \"$2\": ${answer#timeout } $(cat "$TMP/driver.err")"
  TOOK=${answer#ok }
}
shows 20000 "site A: online" "site A"
shows 5000 "site B: online" "site B"

set_slot A 3 4711
shows 5000 "slot 3: 4711" "A's new slot value"
echo "bridge_page: slot 3 shown $TOOK ms after it was written"
set_slot B 7 -5
shows 5000 "slot 7: -5" "B's new slot value"

# kill -9 of B: the broker publishes its last will when the connection breaks.
kill -9 "$BRIDGE_B"
wait "$BRIDGE_B" 2>/dev/null || true
shows 15000 "site B: offline" "B killed"
echo "bridge_page: site B shown offline $TOOK ms after its bridge was killed"
shows 1000 "site A: online" "A after B was killed"
[ -z "$(grep -v '^$' "$TMP/driver.err")" ] || fail "errors in the page: $(cat "$TMP/driver.err")"
echo "bridge_page: ok"
