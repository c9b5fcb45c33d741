#!/usr/bin/env bash
# Installs what is missing, builds, runs every test through ctest (offscreen), then every
# fuzz target for 15 s.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh
scripts/build.sh
(cd build && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2 --timeout 300)
fuzz/run.sh 15
