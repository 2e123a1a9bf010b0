#!/usr/bin/env bash
# Builds the Debian package build-deb/orvantis_<version>_amd64.deb: a Release
# build of its own in build-deb/ (never the sanitized test build), with
# Debian's hardening flags, packed by CPack; dpkg-shlibdeps works out the
# libraries it depends on. A build-deb/ left by an earlier run is reused, so
# only what changed is compiled again. When lintian is installed, the package
# must pass it without errors. Prints the package's path last.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v dpkg-shlibdeps >/dev/null || {
  echo "package-deb.sh: dpkg-shlibdeps is missing (apt-get install dpkg-dev)" >&2
  exit 1
}
flags() { dpkg-buildflags --get "$1"; }
cmake -S . -B build-deb -DCMAKE_BUILD_TYPE=Release -DORVANTIS_SANITIZE=OFF -DORVANTIS_TESTS=OFF \
  -DCMAKE_CXX_FLAGS="$(flags CPPFLAGS) $(flags CXXFLAGS)" -DCMAKE_EXE_LINKER_FLAGS="$(flags LDFLAGS)" >/dev/null
cmake --build build-deb -j"$(nproc)"
rm -f build-deb/orvantis_*.deb
(cd build-deb && cpack -G DEB >/dev/null)
deb=$(ls build-deb/orvantis_*_"$(dpkg --print-architecture)".deb)
if command -v lintian >/dev/null; then
  lintian --fail-on error "$deb" >&2
fi
echo "$deb"
