#!/usr/bin/env bash
# Installs the Debian packages that are missing, as root.
#   scripts/deps.sh           what running, building, testing and packaging need (the default)
#   scripts/deps.sh runtime   only what running the program needs (a workshop computer)
set -euo pipefail
# Running: Qt's libraries come with the drivers; the SQL drivers, fonts and Qt's own texts
# are loaded at run time. These are also the package's dependencies (cmake/Packaging.cmake).
runtime=(libqt6widgets6 libqt6serialport6 libqt6printsupport6 libqt6charts6 libqt6sql6-sqlite libqt6sql6-psql
         qt6-qpa-plugins fonts-liberation qt6-translations-l10n)
# Building, the tests (a PostgreSQL server of their own, a display, screenshots, PDF text),
# the fuzz targets (clang with its libFuzzer and sanitizer runtimes), the package, and the
# Russian locale the tests write files under as well as C.
build=(cmake g++ make qt6-base-dev qt6-base-dev-tools qt6-serialport-dev qt6-charts-dev libqt6opengl6-dev libgl-dev
       postgresql xvfb xauth xdotool imagemagick poppler-utils
       zlib1g-dev unzip clang libclang-rt-14-dev
       dpkg-dev desktop-file-utils appstream locales lintian)
packages=("${runtime[@]}")
[ "${1:-}" = runtime ] || packages+=("${build[@]}")
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
# A workshop PC runs under Russian regional settings: the tests that write files run under
# ru_RU.UTF-8 too, so the locale is made here when it is missing.
if [ "${1:-}" != runtime ] && ! locale -a 2>/dev/null | grep -qix 'ru_RU\.utf-\?8'; then
  echo "Making the locale ru_RU.UTF-8"
  sed -i 's/^# *\(ru_RU\.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^ru_RU\.UTF-8 UTF-8' /etc/locale.gen || echo 'ru_RU.UTF-8 UTF-8' >> /etc/locale.gen
  locale-gen
fi
