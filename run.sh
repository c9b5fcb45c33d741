#!/usr/bin/env bash
# The demonstration: installs what is missing, builds, and starts the program against the
# bench emulator (a real bench needs no emulator: see the README).
# With no display it runs under Xvfb and saves a screenshot of the main window.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh
scripts/build.sh
exec scripts/start.sh "$@"
