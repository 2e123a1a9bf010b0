#!/usr/bin/env bash
# A venue of a Linux and a Windows computer on one real broker over TLS (a CA
# made here), each with a webcam on camera number 0, the bridges on
# --slot-offset 0 and 1. Site L: a mount namespace with its own /dev/shm, the
# Linux bridge, a Linux player on a virtual camera and a third player without
# one; site W: this Wine prefix (its own wineserver, so its own named sections)
# with orvantis_bridge.exe and ORVANTIS.exe on the virtual camera.
. "$(dirname "$0")/lib.sh"
BRIDGE_EXE=${BRIDGE:?BRIDGE must name build-windows/orvantis_bridge.exe}
BRIDGE=${LINUX_BRIDGE:-}
. "$(dirname "$0")/../../bridge/lib.sh"
LINUX_PROGRAM=$(dirname "${BRIDGE:-.}")/orvantis # built beside the bridge
[ -x "$BRIDGE" ] && [ -x "$LINUX_PROGRAM" ] || fail "no Linux bridge and program (build/, LINUX_BRIDGE)"

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
start_site L
start_bridge L --broker "127.0.0.1:$TLS_PORT" --tls-ca "$tls/ca.crt"
poll connected L 1 || fail "bridge L did not connect over TLS: $(cat "$TMP/bridge-L.err")"
# start_w_bridge [OPTION]...: the Windows bridge over TLS, the CA named as Windows names it.
start_w_bridge() {
  (cd "$TMP" && wine_run 120 "$WINE" "$BRIDGE_EXE" --broker "127.0.0.1:$TLS_PORT" --site W --keepalive 5 \
    --tls-ca "Z:${tls//\//\\}\\ca.crt" "$@" >>"$TMP/bridge-W.out" 2>>"$TMP/bridge-W.err" </dev/null) &
  WRAPPER=$!
  BACKGROUND+=($!)
}

# The players on S001 of 200 frames: ORVANTIS.exe lists the slots of W's
# section (DISP_WEB_CAM_INFO 2), the Linux ones print their frame numbers (1).
vcam_for_wine
setup
make_frames S001 200
mkdir "$TMP/linux" && settings 1 0 && mv "$TMP/work/zep_env0001.dat" "$TMP/linux" && settings 2 0
# linux_player NAME [NAME=VALUE]...: the Linux program in L's namespace, its console in $TMP/NAME.out.
linux_player() {
  (exec nsenter --mount="/proc/$HOLD_L/ns/mnt" --wd="$TMP/linux" -- env "${@:2}" "$LINUX_PROGRAM" \
    >"$TMP/$1.out" 2>"$TMP/$1.err" </dev/null) &
  BACKGROUND+=($!)
  OUT=$TMP/$1.out wait_for_text "[S1] ["
}
linux_player camera LD_PRELOAD="$TMP/libvcam.so" ASAN_OPTIONS="$ASAN_OPTIONS:verify_asan_link_order=0" \
  VCAM_CONTROL="$TMP/camera-L" VCAM_LOG="$TMP/camera-L.log"
VCAM_CONTROL=$TMP/camera-L camera still
take_window
key q
OUT=$TMP/camera.out wait_for_text "$ON_LINE"
linux_player third
# ORVANTIS.exe last, so that its window keeps the keys.
LD_PRELOAD=$TMP/libvcam.so start_player
wait_for_player
key q
wait_for_text "$ON_LINE"
# W's bridge after its camera is on: the camera's first picture, measured
# against black, would step the third player, and the stillness after it
# turn it back to frame 0, where it stays.
start_w_bridge --slot-offset 1
poll connected W 1 || fail "bridge W did not connect over TLS: $(cat "$TMP/bridge-W.err")"
in_L() { [ "$(field L 2)" -gt 0 ]; }
poll in_L || fail "W's camera, still, never reached slot 1 of L's section"

# Only W's camera moves: the third player steps; both still: it halts.
OUT=$TMP/third.out
steers moving up
steers still still
OUT=$TMP/out.txt
# Both move: L holds its own motion in slot 0 and W's in slot 1, W its own in
# slot 0 and L's in slot 31 (shown in slot order, nothing between them).
VCAM_CONTROL=$TMP/camera-L camera moving
camera moving
on_L() { [ "$(field L 1)" -gt 0 ] && [ "$(field L 2)" -gt 0 ]; }
poll on_L || fail "L's section does not hold both cameras: slot 0 $(field L 1), slot 1 $(field L 2)"
on_W() { grep -aqE "\[WebCam\(  0 \) = *[1-9][0-9]* \] \[WebCam\( 31 \) = *[1-9]" "$OUT"; }
poll on_W || fail "W's section does not hold both cameras in slots 0 and 31"

# Ctrl-C (Wine turns SIGINT into the console's Ctrl-C event): status 0, the
# closing line, and W offline, so that L clears W's slot at once.
kill -INT "$WRAPPER" && wait "$WRAPPER" && status=0 || status=$?
[ "$status" = 0 ] || fail "Ctrl-C: bridge W ended with status $status"
grep -q "stopped; 0 malformed messages ignored" "$TMP/bridge-W.out" || fail "Ctrl-C: no closing line from W"
wait_field L 2 0 "W's pool slot 1 after W's bridge stopped" 5

# W left on offset 0: both bridges name both sites, pool slot 0 and an offset for W.
start_w_bridge
poll connected W 2 || fail "bridge W did not connect again: $(cat "$TMP/bridge-W.err")"
sleep 2
for site in L W; do
  grep -q "pool slot 0 is published by both L and W, the last value wins; --slot-offset 1 on W would separate them" \
    "$TMP/bridge-$site.err" || fail "no collision line from $site: $(cat "$TMP/bridge-$site.err")"
done
quit
echo "mixed_pool: ok"
