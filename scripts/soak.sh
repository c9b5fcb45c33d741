#!/usr/bin/env bash
# The fault tests over and over for MINUTES (default 30): the storm against the window and
# the killed writers. Stops at the first failure; prints each round's memory and counts.
# Usage: scripts/soak.sh [MINUTES]
set -euo pipefail
cd "$(dirname "$0")/.."
minutes=${1:-30}
scripts/build.sh build >/dev/null
end=$((SECONDS + minutes * 60))
round=0
while [ $SECONDS -lt $end ]; do
  round=$((round + 1))
  echo "== round $round"
  QT_QPA_PLATFORM=offscreen build/autotests/integration/tst_storm | grep -E "QINFO|FAIL|PASS   :.*theWindow"
  QT_QPA_PLATFORM=offscreen build/autotests/integration/tst_killedwrites | grep -E "QINFO|FAIL|PASS   :.*aKilled"
done
echo "soak: $round rounds in $minutes min, no failure"
