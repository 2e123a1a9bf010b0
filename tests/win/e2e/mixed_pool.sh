#!/usr/bin/env bash
# A pool of a Linux and a Windows computer on one real broker, over TLS with
# a CA made here: site L is a mount namespace with its own /dev/shm and the
# Linux bridge; site W is this Wine prefix (its own wineserver, so its own
# named sections) with orvantis_bridge.exe and ORVANTIS.exe. A slot written
# on L steers ORVANTIS.exe (its status line shows the pooled sum, its frames
# step); ORVANTIS.exe's own camera (the virtual camera, CamChan 0) puts its
# motion into slot 0 of L's section; a killed Windows bridge is cleared on L
# within 15 s.
. "$(dirname "$0")/lib.sh"
BRIDGE_EXE=${BRIDGE:?BRIDGE must name build-windows/orvantis_bridge.exe}
BRIDGE=${LINUX_BRIDGE:-}
skip() { echo "mixed_pool: skipped ($1)"; exit 0; }
[ -x "$BRIDGE" ] || skip "no Linux bridge (build/orvantis_bridge, LINUX_BRIDGE)"
command -v mosquitto >/dev/null && command -v mosquitto_pub >/dev/null || skip "needs mosquitto and mosquitto-clients"
unshare --mount sh -c 'mount -t tmpfs tmpfs /dev/shm' 2>/dev/null || skip "needs unshare --mount and a tmpfs mount"
. "$(dirname "$0")/../../bridge/lib.sh"

# A test CA and the broker's certificate for 127.0.0.1, signed by it.
tls=$TMP/tls
mkdir -p "$tls"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=ORVANTIS test CA" -keyout "$tls/ca.key" \
  -out "$tls/ca.crt" 2>/dev/null || fail "openssl: no CA"
openssl req -newkey rsa:2048 -nodes -subj "/CN=127.0.0.1" -keyout "$tls/server.key" -out "$tls/server.csr" \
  2>/dev/null || fail "openssl: no request"
openssl x509 -req -in "$tls/server.csr" -CA "$tls/ca.crt" -CAkey "$tls/ca.key" -CAcreateserial -days 2 \
  -extfile <(printf 'subjectAltName=IP:127.0.0.1,DNS:localhost\n') -out "$tls/server.crt" 2>/dev/null ||
  fail "openssl: no server certificate"
# A broker started as root reads them as the user "mosquitto".
chmod 711 "$TMP" && chmod 755 "$tls" && chmod 644 "$tls"/*
TLS_PORT=$(free_port)
printf 'listener %s 127.0.0.1\ncafile %s\ncertfile %s\nkeyfile %s\n' "$TLS_PORT" "$tls/ca.crt" "$tls/server.crt" \
  "$tls/server.key" >"$TMP/broker-extra.conf"
start_broker

# Site L: its bridge over TLS.
start_site L
start_bridge L --broker "127.0.0.1:$TLS_PORT" --tls-ca "$tls/ca.crt"
poll connected L 1 || fail "bridge L did not connect over TLS: $(cat "$TMP/bridge-L.err")"

# Site W: ORVANTIS.exe on the virtual camera, still off, its status line on
# (DISP_WEB_CAM_INFO 1).
vcam_for_wine
setup
player_contents
LD_PRELOAD=$TMP/libvcam.so start_player
wait_for_player
# The Windows bridge over TLS, the CA named as Windows names it; its real
# process (not the timeout around it) is the one killed later.
(cd "$TMP" && wine_run 120 "$WINE" "$BRIDGE_EXE" --broker "127.0.0.1:$TLS_PORT" --site W --keepalive 5 \
  --tls-ca "Z:${tls//\//\\}\\ca.crt" >"$TMP/bridge-W.out" 2>"$TMP/bridge-W.err" </dev/null) &
BACKGROUND+=($!)
WRAPPER=$!
poll connected W 1 || fail "bridge W did not connect over TLS: $(cat "$TMP/bridge-W.err")"

# Linux -> Windows: slot 3 on L; ORVANTIS.exe shows the pooled sum and steps.
sleep 1
still=$(frame_now)
[ -n "$still" ] || fail "no status line from ORVANTIS.exe"
set_slot L 3 50000
wait_for_text "DifferenceSum=  50000 (SI.DiffSum=  50000 )"
poll moved_since "$still" || fail "ORVANTIS.exe did not step while L's slot 3 was high"
set_slot L 3 0
wait_for_text "DifferenceSum=      0 (SI.DiffSum=      0 )"

# Windows -> Linux: ORVANTIS.exe's camera, switched on and moving, puts the
# motion its status line shows into slot 0 on L.
key q
wait_for_text "$ON_LINE"
camera moving
on_L() { local v; v=$(field L 1); [ "${v:-0}" -gt 0 ] && grep -aq "DifferenceSum= *$v " "$OUT"; }
poll on_L || fail "ORVANTIS.exe's motion is not in slot 0 on L: $(field L 1)"

# kill -9 of the Windows bridge: L clears W's slot within 15 s.
real=$(pgrep -P "$WRAPPER" | head -n1)
kill -9 "${real:-$WRAPPER}"
started=$SECONDS
wait_field L 1 0 "W's slot 0 after W's bridge was killed" 15
echo "mixed_pool: W's slot cleared on L $((SECONDS - started)) s after W's bridge was killed"
quit
echo "mixed_pool: ok"
