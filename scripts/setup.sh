#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, when
# any of them is missing, without recommendations: so every package a script
# uses is named here (the Windows tools in scripts/test-windows.sh and
# scripts/build-windows-deps.sh).
set -euo pipefail
packages=(
  # the build: compilers, CMake, the libraries, git (scripts/lint.sh lists the sources with it)
  build-essential cmake pkg-config git libgtest-dev libbenchmark-dev libopencv-dev qtbase5-dev
  libturbojpeg0-dev libx11-dev libmosquitto-dev
  # the demo and the end-to-end tests: frames and videos, the X server, keys, screenshots
  ffmpeg xvfb xdotool imagemagick x11-utils
  # the shell tools the tests use: perl, od, dd, unshare, nsenter, iconv, zcat (all but
  # systemd are there on any Debian); systemd-analyze checks the bridge's user unit,
  # systemd --user runs the player's; desktop-file-validate checks its menu entry; xmllint
  # the Windows log-on task's definition
  perl-base coreutils util-linux libc-bin gzip systemd desktop-file-utils libxml2-utils
  # the bridge's tests: a real broker; the page in headless Chromium, driven by a
  # puppeteer-core that npm installs (over https: ca-certificates)
  mosquitto mosquitto-clients chromium ca-certificates
  # the Debian package (scripts/package-deb.sh) and its manual pages
  dpkg-dev groff-base lintian
  # the house checks (scripts/lint.sh; universal-ctags for the function sizes)
  clang-format clang-tidy cppcheck universal-ctags
  # the fuzz targets: Clang and its libFuzzer and sanitizer runtimes (the
  # latter only recommended by libclang-common-14-dev, so named here)
  clang libclang-rt-14-dev
)
# Node.js and npm for the page's test: Debian's, unless both are there already
# (a Node.js of another origin brings its own npm, which Debian's would clash with).
command -v node >/dev/null && command -v npm >/dev/null || packages+=(nodejs npm)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get -o DPkg::Lock::Timeout=600 install -y -q --no-install-recommends "${missing[@]}"
fi
