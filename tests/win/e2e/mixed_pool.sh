#!/usr/bin/env bash
# A pool of a Linux and a Windows computer on one real broker, over TLS with
# a CA made here: site L is a mount namespace with its own /dev/shm and the
# Linux bridge; site W is this Wine prefix (its own wineserver, so its own
# named sections) with orvantis_bridge.exe and ORVANTIS.exe. A slot written
# on L reaches ORVANTIS.exe (its status line shows the pooled sum, as it does
# when the slot drops); ORVANTIS.exe's own camera (the virtual camera, CamChan 0) puts its
# motion into slot 0 of L's section; Ctrl-C ends the Windows bridge cleanly
# and L clears its slot.
. "$(dirname "$0")/lib.sh"
BRIDGE_EXE=${BRIDGE:?BRIDGE must name build-windows/orvantis_bridge.exe}
BRIDGE=${LINUX_BRIDGE:-}
. "$(dirname "$0")/../../bridge/lib.sh"
[ -x "$BRIDGE" ] || fail "no Linux bridge (build/orvantis_bridge, LINUX_BRIDGE)"

# A test CA and the broker's certificate for 127.0.0.1, signed by it.
tls=$TMP/tls
mkdir -p "$tls"
{ openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=ORVANTIS test CA" -keyout "$tls/ca.key" \
    -out "$tls/ca.crt" &&
  openssl req -newkey rsa:2048 -nodes -subj "/CN=127.0.0.1" -keyout "$tls/server.key" -out "$tls/server.csr" &&
  openssl x509 -req -in "$tls/server.csr" -CA "$tls/ca.crt" -CAkey "$tls/ca.key" -CAcreateserial -days 2 \
    -extfile <(printf 'subjectAltName=IP:127.0.0.1,DNS:localhost\n') -out "$tls/server.crt"; } 2>/dev/null ||
  fail "openssl: no test CA or server certificate"
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

# Site W: ORVANTIS.exe on the virtual camera, still off, with S001 of 40
# frames, wrapping at the ends, and its status line (frame number and pooled
# motion every pass) on: DISP_WEB_CAM_INFO 1.
vcam_for_wine
setup
make_frames S001 40
printf 100 >"$TMP/work/ZEP_THRESHOLD.dat"
{ echo "4 0 40 0.000000 100 1 1.000000 5 2 0 0 108000 1 0 1 0 0"; printf "0\n%.0s" $(seq 1280); echo "0 0 0 0 0"; } \
  >"$TMP/work/zep_env0001.dat"
LD_PRELOAD=$TMP/libvcam.so start_player
wait_for_player
# The Windows bridge over TLS, the CA named as Windows names it.
(cd "$TMP" && wine_run 120 "$WINE" "$BRIDGE_EXE" --broker "127.0.0.1:$TLS_PORT" --site W --keepalive 5 \
  --tls-ca "Z:${tls//\//\\}\\ca.crt" >"$TMP/bridge-W.out" 2>"$TMP/bridge-W.err" </dev/null) &
BACKGROUND+=($!)
WRAPPER=$!
poll connected W 1 || fail "bridge W did not connect over TLS: $(cat "$TMP/bridge-W.err")"

# Linux -> Windows: slot 3 on L; ORVANTIS.exe shows the pooled sum, and
# then, in status lines after it, the drop.
set_slot L 3 50000
wait_for_text "DifferenceSum=  50000 (SI.DiffSum=  50000 )"
zero="DifferenceSum=      0 (SI.DiffSum=      0 )"
set_slot L 3 0
wait_for_text "$zero" $(($(count_of "$zero") + 1))

# Windows -> Linux: ORVANTIS.exe's camera, switched on and moving, puts the
# motion its status line shows into slot 0 on L.
key q
wait_for_text "$ON_LINE"
camera moving
on_L() { local v; v=$(field L 1); [ "${v:-0}" -gt 0 ] && grep -aq "DifferenceSum= *$v " "$OUT"; }
poll on_L || fail "ORVANTIS.exe's motion is not in slot 0 on L: $(field L 1)"

# Ctrl-C (Wine turns SIGINT into the console's Ctrl-C event): status 0, the
# closing line, and W offline, so that L clears W's slot 0 at once.
kill -INT "$WRAPPER" && wait "$WRAPPER" && status=0 || status=$?
[ "$status" = 0 ] || fail "Ctrl-C: bridge W ended with status $status"
grep -q "stopped; 0 malformed messages ignored" "$TMP/bridge-W.out" || fail "Ctrl-C: no closing line from W"
wait_field L 1 0 "W's slot 0 after W's bridge stopped" 5
quit
echo "mixed_pool: ok"
