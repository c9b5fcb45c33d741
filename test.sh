#!/usr/bin/env bash
# Installs what is missing, builds, runs every test through ctest (offscreen), builds the
# Debian package and checks it with lintian, then the package installed and run as a user
# (autotests/installed/run.sh, as root), then every fuzz target for 15 s from its seeds
# with a fixed random seed (repeatable).
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh
scripts/build.sh
(cd build && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2 --timeout 300)
scripts/package.sh >/dev/null   # the .deb, checked by lintian
autotests/installed/run.sh
FUZZ_SEED=1 fuzz/run.sh 15
