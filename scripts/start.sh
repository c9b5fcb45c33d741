#!/usr/bin/env bash
# The demonstration: starts the bench emulator as COM10 beside the program, then the program.
# On a real bench start the program alone (README, "Installing on a workshop computer").
set -euo pipefail
cd "$(dirname "$0")/.."
bin=build/src/app
emulator=build/tools/bench-emulator/bench-emulator
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; }
trap cleanup EXIT

if [ -x "$emulator" ]; then
  echo "Demonstration: the bench emulator plays the bench as COM10 ($bin/COM10, log /tmp/bench-emulator.out);"
  echo "on a real bench start $bin/transformer-bench alone."
  "$emulator" --port 10 --dir "$bin" --preset idle --rate 5 >/tmp/bench-emulator.out 2>&1 &
  pids+=($!)
  for _ in $(seq 50); do [ -e "$bin/COM10" ] && break; sleep 0.1; done
fi

if [ -n "${DISPLAY:-}" ]; then
  "$bin/transformer-bench"
  exit 0
fi

display=:93
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
sleep 1
export DISPLAY=$display
"$bin/transformer-bench" &
app=$!
pids+=($app)
sleep "${SCREENSHOT_DELAY:-4}"
# Show a live page so the screenshot has readings: click the tab "Омическое сопротивление", which opens the port without asking for rated data.
if command -v xdotool >/dev/null; then
  wid=$(xdotool search --sync --onlyvisible --name "Электромагнитные" | head -n 1 || true)
  [ -n "$wid" ] && xdotool mousemove --window "$wid" 810 10 click 1 || true
  sleep 2
fi
shot="$PWD/build/main-window.png"
import -window root "$shot"
echo "Screenshot: $shot"

# A protocol filled through the real windows against an emulator of its own, as pictures and a PDF.
sample=build/autotests/integration/protocol-sample
if [ -x "$sample" ]; then
  if paths=$(cd build && QT_QPA_PLATFORM=offscreen "../$sample" 2>/tmp/protocol-sample.err); then
    while read -r p; do echo "Protocol: $p"; done <<<"$paths"
  else
    echo "Protocol sample failed, see /tmp/protocol-sample.err"
  fi
fi
