#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, when
# any of them is missing.
set -euo pipefail
packages=(build-essential cmake pkg-config libgtest-dev libbenchmark-dev libopencv-dev qtbase5-dev
  libturbojpeg0-dev ffmpeg xvfb xdotool imagemagick x11-utils libx11-dev clang dpkg-dev groff-base lintian
  libmosquitto-dev mosquitto mosquitto-clients chromium clang-format clang-tidy cppcheck)
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
