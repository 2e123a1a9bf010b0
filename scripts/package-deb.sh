#!/usr/bin/env bash
# Builds the two Debian packages, build-deb/orvantis_<version>_amd64.deb (the
# player) and build-deb/orvantis-bridge_<version>_amd64.deb (the bridge, its
# user unit and the page that shows the pool): a Release build of its own in
# build-deb/ (never the sanitized test build), with Debian's hardening flags,
# packed by CPack, one package per install component (configured for /usr, so
# that private libraries go to /usr/lib/<triplet>/); dpkg-shlibdeps works
# out the libraries each depends on. A build-deb/ left by an earlier run is
# reused, so only what changed is compiled again. When lintian is installed,
# each package must pass it without errors. Prints the two packages' paths
# last, the player's first.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v dpkg-shlibdeps >/dev/null || {
  echo "package-deb.sh: dpkg-shlibdeps is missing (apt-get install dpkg-dev)" >&2
  exit 1
}
# All of Debian's hardening, binding every symbol at start-up included.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
flags() { dpkg-buildflags --get "$1"; }
cmake -S . -B build-deb -DCMAKE_INSTALL_PREFIX=/usr -DCMAKE_BUILD_TYPE=Release -DORVANTIS_SANITIZE=OFF -DORVANTIS_TESTS=OFF \
  -DCMAKE_CXX_FLAGS="$(flags CPPFLAGS) $(flags CXXFLAGS)" -DCMAKE_EXE_LINKER_FLAGS="$(flags LDFLAGS)" >/dev/null
cmake --build build-deb -j"$(nproc)"
rm -f build-deb/orvantis*.deb
(cd build-deb && cpack -G DEB >/dev/null)
arch=$(dpkg --print-architecture)
debs=()
for name in orvantis orvantis-bridge; do
  deb=$(ls build-deb/"${name}"_*_"$arch".deb) || {
    echo "package-deb.sh: CPack made no package $name (is libmosquitto-dev installed?)" >&2
    exit 1
  }
  debs+=("$deb")
done
if command -v lintian >/dev/null; then
  lintian --fail-on error "${debs[@]}" >&2
fi
printf '%s\n' "${debs[@]}"
