#!/usr/bin/env bash
# The pool's page, served by a real broker with two sites and their bridges, in headless
# Chromium (puppeteer-core, pinned, installed once from npm): the total, a plot rising and falling
# with its slot, "stale" while the broker is gone, a stopped site's time, and "login refused".
. "$(dirname "$0")/../e2e/lib.sh"
BRIDGE=${BRIDGE:?BRIDGE must name build/orvantis_bridge}
SOURCE=$(cd "$(dirname "$0")/../.." && pwd)
. "$(dirname "$0")/lib.sh"
needs page "the page needs chromium, node and npm" command -v chromium node npm
PUPPETEER=puppeteer-core@24.43.1 CHROMIUM=$(command -v chromium) WEB=$(free_port) LOCKED=$(free_port)
modules=${XDG_CACHE_HOME:-$HOME/.cache}/orvantis/npm-$PUPPETEER # the newest that runs on Debian 12's Node.js 18
if [ ! -d "$modules/node_modules/puppeteer-core" ]; then
  rm -rf "$modules.tmp" && mkdir -p "$modules.tmp"
  npm install --prefix "$modules.tmp" --no-save --no-audit --no-fund --ignore-scripts "$PUPPETEER" \
    >"$TMP/npm.log" 2>&1 || fail "npm install $PUPPETEER: $(tail -n 5 "$TMP/npm.log")"
  rm -rf "$modules" && mv "$modules.tmp" "$modules"
fi
# A broker started as root serves the page as the user "mosquitto", who may
# not read the source tree (under /root, say): it serves a copy.
cp -r "$SOURCE/bridge/web" "$TMP/web" && chmod -R a+rX "$TMP/web" && chmod 711 "$TMP"
printf 'listener %s 127.0.0.1\nprotocol websockets\nhttp_dir %s\n' "$WEB" "$TMP/web" >"$TMP/broker-extra.conf"
# A broker that wants a login (it needs a plain listener beside its WebSockets one).
printf 'allow_anonymous false\nlistener %s 127.0.0.1\nlistener %s 127.0.0.1\nprotocol websockets\n' "$(free_port)" "$LOCKED" \
  >"$TMP/locked.conf"
mosquitto -c "$TMP/locked.conf" >>"$TMP/broker.log" 2>&1 &
BACKGROUND+=($!)
coproc DRIVER { TMP=$TMP NODE_PATH=$modules/node_modules exec node "$(dirname "$0")/page_driver.js" "$CHROMIUM" \
  2>"$TMP/driver.err"; }
BACKGROUND+=("$DRIVER_PID")
# shows MILLISECONDS KIND ARG: the page shows it within the time (page_driver.js).
shows() {
  echo "$*" >&"${DRIVER[1]}"
  read -r -t 60 answer <&"${DRIVER[0]}" || fail "$2 $3: no answer from the browser: $(cat "$TMP/driver.err")"
  [ "$answer" = ok ] || fail "the page does not show $2 \"$3\": ${answer#timeout } $(cat "$TMP/driver.err")"
}

start_broker
for site in A B; do start_site $site && start_bridge $site; done
shows 20000 open "http://127.0.0.1:$WEB/index.html?pool=orvantis"
set_slot A 3 50000
set_slot B 5 -7
shows 20000 text "total 49993"
shows 5000 high "A 3"
set_slot A 3 700
shows 5000 low "A 3"

# The broker stops: every value is stale, the total too, and the page says
# why; it comes back: fresh values, no "stale" left.
kill "$BROKER_PID" && { wait "$BROKER_PID" 2>/dev/null || true; }
shows 10000 text "slot 3: 700 stale"
shows 1000 text "total 693 stale"
shows 10000 text "broker unreachable"
start_broker
shows 20000 no "stale"
# A site stopped: greyed with the time it went, out of the total.
kill -TERM "$BRIDGE_B"
shows 5000 text "site B: offline since $(date +%H:)"
shows 5000 text "total 700"
shows 10000 open "http://127.0.0.1:$WEB/index.html?broker=ws://127.0.0.1:$LOCKED"
shows 10000 text "login refused"
[ -z "$(grep -v '^$' "$TMP/driver.err")" ] || fail "errors in the page: $(cat "$TMP/driver.err")"
echo "page: ok"
