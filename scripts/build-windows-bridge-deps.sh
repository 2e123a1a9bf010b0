#!/usr/bin/env bash
# Builds the two libraries orvantis_bridge.exe links statically, once, and
# caches them beside the other Windows libraries, each under its own key, so
# that neither they nor OpenCV are rebuilt when the other changes:
#
#   scripts/build-windows-bridge-deps.sh
#
#   ~/.cache/orvantis/mingw-openssl-r1-openssl_<version>             libssl.a, libcrypto.a
#   ~/.cache/orvantis/mingw-mosquitto-r1-mosquitto_<version>-openssl_<version>
#                                                                    libmosquitto.a, mosquitto.h
#
# On success the last two lines on standard output are the OpenSSL prefix and
# then the mosquitto prefix, so callers use
#   { read -r openssl; read -r mosquitto; } < <(scripts/build-windows-bridge-deps.sh | tail -n2)
# When the toolchain or the source lists are missing, or a build fails, it
# exits 1 with a message: scripts/build-windows-deps.sh, run first, installs
# the MinGW-w64 tools and adds the deb-src entries this script needs.
# Progress goes to standard error, the build logs to files.
#
# Both come from Debian's source packages (`apt-get source openssl mosquitto`,
# the only download). Of mosquitto only the client library is built.
# Environment: ORVANTIS_DEPS_JOBS (default: at most 2 compilers).
set -euo pipefail

# Raise when the flags below change, so that a new cache is built.
OPENSSL_REVISION=1
MOSQUITTO_REVISION=1

say() { echo "build-windows-bridge-deps: $*" >&2; }
fail() {
  say "FAILED: $*"
  exit 1
}
seconds() { echo $(($(date +%s) - $1)); }

cache_root=${XDG_CACHE_HOME:-$HOME/.cache}/orvantis
toolchain=$(cd "$(dirname "$0")/.." && pwd)/cmake/mingw-w64-x86_64.cmake # the program's own
command -v x86_64-w64-mingw32-gcc-posix >/dev/null && command -v cmake >/dev/null && command -v perl >/dev/null ||
  fail "no MinGW-w64 compiler (scripts/build-windows-deps.sh installs it)"
# The source versions apt knows, newest first. A mirror may list a security
# update whose files it does not hold: the fetch then falls back to the next.
versions() { apt-cache showsrc "$1" 2>/dev/null | sed -n 's/^Version: //p' | sort -urV; }
mapfile -t ssl_versions < <(versions openssl)
mapfile -t mosq_versions < <(versions mosquitto)
[ ${#ssl_versions[@]} -gt 0 ] && [ ${#mosq_versions[@]} -gt 0 ] ||
  fail "apt knows no openssl or mosquitto source package (scripts/build-windows-deps.sh adds deb-src)"
openssl_prefix_of() { echo "$cache_root/mingw-openssl-r$OPENSSL_REVISION-openssl_${1//:/_}"; }
mosquitto_prefix_of() {
  echo "$cache_root/mingw-mosquitto-r$MOSQUITTO_REVISION-mosquitto_${1//:/_}-openssl_${2//:/_}"
}
# cached_version LIBRARY-FILE PREFIX-FUNCTION VERSIONS...: the newest version built already.
cached_version() {
  local file=$1 of=$2 v
  shift 2
  for v in "$@"; do [ -f "$($of "$v")/$file" ] && { echo "$v"; return 0; }; done
  return 1
}
jobs=${ORVANTIS_DEPS_JOBS:-$(nproc 2>/dev/null || echo 2)}
[ -n "${ORVANTIS_DEPS_JOBS:-}" ] || [ "$jobs" -le 2 ] || jobs=2 # shared machines: two compilers

mkdir -p "$cache_root"
exec 9>"$cache_root/.lock-bridge" # one build at a time; a run that waited finds the cache ready
flock 9
work=""
trap '[ -z "$work" ] || rm -rf "$work"' EXIT

# new_work NAME: a temporary build folder in the cache (renamed into place at
# the very end, so that a failed or interrupted run leaves no half cache).
new_work() {
  work=$(mktemp -d "$cache_root/.build-$1.XXXXXX")
  mkdir -p "$work/src"
}
step() {
  local log=$work/$1.log
  shift
  if ! nice "$@" >"$log" 2>&1; then
    tail -n 40 "$log" >&2
    fail "$* (the end of its log is above)"
  fi
}
# fetch PACKAGE VERSIONS...: the first version apt can fetch, unpacked; sets
# $fetched to it and $src to its folder.
fetch() {
  local package=$1 v
  shift
  for v in "$@"; do
    say "fetching the source package $package $v"
    rm -rf "$work/src" && mkdir -p "$work/src"
    if (cd "$work/src" && apt-get source -q "$package=$v") >"$work/fetch.log" 2>&1; then
      fetched=$v
      src=$(find "$work/src" -mindepth 1 -maxdepth 1 -type d -name "$package-*" | head -n1)
      return 0
    fi
    say "$package $v cannot be fetched: $(grep -m1 '^E:' "$work/fetch.log" || tail -n1 "$work/fetch.log")"
  done
  fail "apt-get source $package: no version could be fetched"
}
finish() { # finish PREFIX: the staged prefix moved into place
  mv -T "$work/prefix" "$1" || fail "could not move the finished prefix to $1"
  rm -rf "$work"
  work=""
  say "installed: $1 ($(du -sh "$1" | cut -f1))"
}

# OpenSSL: libssl and libcrypto only (no programs, tests or manuals), static.
build_openssl() {
  local t
  new_work openssl
  fetch openssl "${ssl_versions[@]}"
  ssl_version=$fetched
  openssl_prefix=$(openssl_prefix_of "$ssl_version")
  [ -f "$src/Configure" ] || fail "unpacked openssl source not found"
  t=$(date +%s)
  say "openssl $(basename "$src"): building (a few minutes)"
  (
    cd "$src"
    step openssl-configure ./Configure mingw64 --cross-compile-prefix=x86_64-w64-mingw32- \
      --prefix="$openssl_prefix" --libdir=lib no-shared no-tests no-module no-legacy no-engine
    step openssl-build make -j"$jobs" build_libs
    step openssl-install make install_dev DESTDIR="$work/stage"
  )
  mv "$work/stage$openssl_prefix" "$work/prefix"
  [ -f "$work/prefix/lib/libssl.a" ] && [ -f "$work/prefix/lib/libcrypto.a" ] || fail "openssl installed no static libraries"
  rm -rf "$work/prefix/lib/pkgconfig" "$work/prefix/lib/cmake"
  mkdir -p "$work/prefix/share/licenses/openssl"
  cp "$src/LICENSE.txt" "$work/prefix/share/licenses/openssl/LICENSE.txt"
  cp "$src/debian/copyright" "$work/prefix/share/licenses/openssl/debian-copyright"
  echo "openssl $(basename "$src"), $(seconds "$t") s, $(x86_64-w64-mingw32-gcc-posix --version | head -n1)" \
    >"$work/prefix/build-info.txt"
  finish "$openssl_prefix"
}

# libmosquitto: the client library only, static, TLS through the OpenSSL
# above (FindOpenSSL's MinGW names: SSL_EAY, LIB_EAY), without its own
# thread (the bridge runs the loop itself).
build_mosquitto() {
  local t
  new_work mosquitto
  fetch mosquitto "${mosq_versions[@]}"
  mosquitto_prefix=$(mosquitto_prefix_of "$fetched" "$ssl_version")
  [ -f "$src/CMakeLists.txt" ] || fail "unpacked mosquitto source not found"
  t=$(date +%s)
  say "mosquitto $(basename "$src"): building"
  step mosquitto-configure cmake -S "$src" -B "$work/build" -G "Unix Makefiles" \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DOPENSSL_INCLUDE_DIR="$openssl_prefix/include" -DSSL_EAY="$openssl_prefix/lib/libssl.a" \
    -DLIB_EAY="$openssl_prefix/lib/libcrypto.a" \
    -DWITH_TLS=ON -DWITH_TLS_PSK=ON -DWITH_THREADING=OFF -DWITH_STATIC_LIBRARIES=ON -DWITH_PIC=OFF \
    -DWITH_BROKER=OFF -DWITH_APPS=OFF -DWITH_CLIENTS=OFF -DWITH_PLUGINS=OFF -DWITH_LIB_CPP=OFF \
    -DWITH_CJSON=OFF -DWITH_SRV=OFF -DWITH_WEBSOCKETS=OFF -DDOCUMENTATION=OFF
  step mosquitto-build cmake --build "$work/build" -j"$jobs" --target libmosquitto_static
  mkdir -p "$work/prefix/lib" "$work/prefix/include" "$work/prefix/share/licenses/mosquitto"
  cp "$(find "$work/build/lib" -name 'libmosquitto*.a' | head -n1)" "$work/prefix/lib/libmosquitto.a" ||
    fail "no static libmosquitto was built"
  cp "$src/include/mosquitto.h" "$work/prefix/include/"
  [ -f "$src/include/mqtt_protocol.h" ] && cp "$src/include/mqtt_protocol.h" "$work/prefix/include/"
  for f in LICENSE.txt epl-v20 edl-v10 debian/copyright; do
    [ -f "$src/$f" ] && cp "$src/$f" "$work/prefix/share/licenses/mosquitto/$(basename "$f")"
  done
  [ -f "$work/prefix/share/licenses/mosquitto/epl-v20" ] || fail "mosquitto's licence texts not found"
  echo "mosquitto $(basename "$src") (library only), $(seconds "$t") s" >"$work/prefix/build-info.txt"
  finish "$mosquitto_prefix"
}

if ssl_version=$(cached_version lib/libssl.a openssl_prefix_of "${ssl_versions[@]}"); then
  openssl_prefix=$(openssl_prefix_of "$ssl_version")
  say "cached: $openssl_prefix"
else
  build_openssl
fi
mosquitto_of_ssl() { mosquitto_prefix_of "$1" "$ssl_version"; }
if mosq_version=$(cached_version lib/libmosquitto.a mosquitto_of_ssl "${mosq_versions[@]}"); then
  mosquitto_prefix=$(mosquitto_of_ssl "$mosq_version")
  say "cached: $mosquitto_prefix"
else
  build_mosquitto
fi
echo "$openssl_prefix"
echo "$mosquitto_prefix"
