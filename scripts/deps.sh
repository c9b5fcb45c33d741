#!/usr/bin/env bash
# Installs the Debian packages the build, the tests, the fuzz targets (clang with its
# libFuzzer and sanitizer runtimes) and the screenshots need, only those missing.
set -euo pipefail
packages=(cmake g++ make qt6-base-dev qt6-base-dev-tools qt6-serialport-dev libgl-dev
          libqt6sql6-sqlite libqt6sql6-psql postgresql qt6-translations-l10n
          fonts-liberation xvfb xauth xdotool imagemagick poppler-utils
          clang libclang-rt-14-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
