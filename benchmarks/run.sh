#!/usr/bin/env bash
# Measures the whole program and prints one table, also written to docs/benchmarks.md.
#
#   benchmarks/run.sh          link 10 s per rate, memory over 5 minutes at 10x (about 8 minutes)
#   benchmarks/run.sh --quick  short runs to try it in about a minute; table to build/benchmarks-quick.md
#   benchmarks/run.sh --hour   memory over 60 minutes at 10x
#   benchmarks/run.sh --server [--server-seconds S] [--server-benches 1,5,10,20]
#                              only the shared server archive (a million records on a PostgreSQL
#                              cluster it starts, N benches storing for S seconds, 60 by default);
#                              its section of docs/benchmarks.md is replaced, the rest kept
#   benchmarks/run.sh --startup  only the start-up rows (the program and its floor, in turn, 9 runs);
#                              those rows of docs/benchmarks.md are replaced with the load average beside them
#
# Runs on its own Xvfb display; needs Xvfb and xdotool (scripts/deps.sh installs them).
set -euo pipefail
cd "$(dirname "$0")/.."

line_rate=1724   # signal packets a second on a 1 Mbit/s line
link_s=10
memory_s=300
mark_s=60
runs=5
table=docs/benchmarks.md
kind="full run"
server_only=0
startup_only=0
server_s=60
server_benches=1,5,10,20
server_records=1000000
while [ $# -gt 0 ]; do
  case $1 in
    --quick) link_s=2; memory_s=20; mark_s=5; runs=3; table=build/benchmarks-quick.md; kind="quick run (--quick): short durations, not for comparison"
             server_s=10; server_benches=1,5; server_records=100000 ;;
    --hour) memory_s=3600; kind="full run, memory over 60 minutes (--hour)" ;;
    --server) server_only=1 ;;
    --startup) startup_only=1; runs=9 ;;
    --server-seconds) server_s=$2; shift ;;
    --server-benches) server_benches=$2; shift ;;
    *) echo "usage: $0 [--quick|--hour|--startup] [--server [--server-seconds S] [--server-benches 1,5,10,20]]" >&2; exit 2 ;;
  esac
  shift
done

# ---- the shared server archive: a million records, N benches ----
# Writes its own section (a table with the file archive's rows beside it) to $1.
server_part() {
  local out=$1 f tmpd
  tmpd=$(mktemp -d)
  f="$tmpd/server.txt"
  echo "building the server archive benchmark..." >&2
  cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" >/dev/null
  cmake --build build -j"$(nproc)" --target bench_archiveserverscale >/dev/null
  echo "server archive: $server_records records, benches $server_benches for $server_s s each (several minutes)..." >&2
  local load0 load1
  load0=$(cut -d' ' -f1-3 /proc/loadavg)
  QT_QPA_PLATFORM=offscreen build/benchmarks/bench_archiveserverscale --records "$server_records" \
    --seconds "$server_s" --benches "$server_benches" >"$f" 2>"$tmpd/server.err" || true
  load1=$(cut -d' ' -f1-3 /proc/loadavg)
  # The file archive's row of the same measure, from the table of the last full run.
  filerow() { local r; r=$(grep -F "| Archive of 1000000 records: $1" docs/benchmarks.md 2>/dev/null | head -n 1 | awk -F' [|] ' '{ print $2 }' | sed 's/ |$//'); echo "${r:-not measured}"; }
  {
    echo "<!-- server archive -->"
    echo "## The shared server archive"
    echo
    echo "Made by \`benchmarks/run.sh --server\` (or a full run) on $(date -u '+%Y-%m-%d %H:%M UTC'), commit $(git rev-parse --short HEAD 2>/dev/null || echo '?'):"
    echo "$(val "$f" server) on a cluster the benchmark starts itself (ru_RU.UTF-8, fsync off, a socket in a temporary"
    echo "folder), filled with $(val "$f" records) records straight on the server in $(val "$f" fill_s) s (list indexes $(val "$f" indexes_s) s,"
    echo "trigram index: $(val "$f" trigram)). The machine has $(nproc) cores shared with other work: load average $load0 at the"
    echo "start and $load1 at the end. Times are from the window's own event loop (offscreen), each until the rows are in the model."
    echo
    echo "| Measure, $(val "$f" records) records | server | file archive (last full run) | goal |"
    echo "|---|---|---|---|"
    echo "| First rows after opening the window (5 openings) | $(val "$f" first_rows) | $(filerow "window shown") | < 300 ms |"
    echo "| A keystroke in the search field to its rows | $(val "$f" keystroke) | $(filerow "filter per") | < 100 ms |"
    echo "| A click on a column head to its rows | $(val "$f" head_click) | $(filerow "click on") | < 300 ms |"
    echo "| A page scrolled to | $(val "$f" scroll_page) | $(filerow "scroll to") | |"
    echo "| A span of days (two years) | $(val "$f" span_of_days) | $(filerow "span of") | |"
    echo "| A protocol stored with the window open, until it heads the list | $(val "$f" stored_in_list) | $(filerow "store of") (the store alone) | < 1 s |"
    echo "| A record opened while a search reads the server | $(val "$f" open_record) | | |"
    echo "| Longest turn of the window's event loop over all of the above | $(val "$f" longest_turn) | $(filerow "search going") | < 100 ms |"
    echo "| Resident memory of the process | $(val "$f" rss) | | < 100 MB |"
    echo
    echo "N bench processes each store a protocol every 0.5 s for $server_s s through the program's outbox (revisions of"
    echo "three protocols of its own, and every tenth a revision of one protocol all benches share), while two windows of"
    echo "the measuring process type searches and click heads. Stored = acknowledged = on the server once each; gaps are"
    echo "counted in the revisions of all those protocols;"
    echo "store-to-server is from the store to the sender's acknowledgement; the server's processor share is the time of"
    echo "all its processes over the run (200 % would be both cores)."
    echo
    echo "| Benches | stored | revisions' gaps | store-to-server | keystroke to rows (two windows) | head click | longest turn | server processor |"
    echo "|---|---|---|---|---|---|---|---|"
    for n in ${server_benches//,/ }; do
      echo "| $n | $(val "$f" benches_${n}_stored) | $(val "$f" benches_${n}_gaps) | $(val "$f" benches_${n}_latency) | $(val "$f" benches_${n}_keystroke) | $(val "$f" benches_${n}_head_click) | $(val "$f" benches_${n}_longest_turn) | $(val "$f" benches_${n}_server_cpu) |"
    done
    if [ "$(val "$f" error)" != "?" ]; then echo; echo "The benchmark failed: $(val "$f" error)"; fi
    echo "<!-- /server archive -->"
  } >"$out"
  rm -rf "$tmpd"
}

# Value of "name value" in a harness output file, or "?".
val() { awk -v k="$2" '$1 == k { $1 = ""; sub(/^ /, ""); print; found = 1 } END { if (!found) print "?" }' "$1"; }

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

# Only the server part: its section of the table is replaced, the rest kept.
if [ $server_only = 1 ]; then
  section=$(mktemp)
  server_part "$section"
  if grep -q '<!-- server archive -->' docs/benchmarks.md 2>/dev/null; then
    awk -v f="$section" '/<!-- server archive -->/ { while ((getline l < f) > 0) print l; skip = 1; next }
                         /<!-- \/server archive -->/ { skip = 0; next } !skip' docs/benchmarks.md >"$section.doc"
    mv "$section.doc" docs/benchmarks.md
  else
    { echo; cat "$section"; } >>docs/benchmarks.md
  fi
  cat "$section"
  rm -f "$section"
  exit 0
fi

# ---- build ----
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" >/dev/null
echo "building..." >&2
cmake --build build -j"$(nproc)" --target transformer-bench bench-emulator bench_window >/dev/null
# The target list is read whole first: grep -q stopping early would fail the pipe.
targets=$(cmake --build build --target help 2>/dev/null || true)
if grep -qw bench_resync <<<"$targets"; then
  cmake --build build -j"$(nproc)" --target bench_resync >/dev/null || true
fi
if grep -qw bench_archivescale <<<"$targets"; then
  cmake --build build -j"$(nproc)" --target bench_archivescale >/dev/null || true
fi
app=build/src/app/transformer-bench
emulator=build/tools/bench-emulator/bench-emulator
harness=build/benchmarks/bench_window

tmp=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$tmp"
}
trap cleanup EXIT

# ---- a display of our own ----
Xvfb -displayfd 5 -screen 0 1280x1024x24 -nolisten tcp 5>"$tmp/display" 2>/dev/null &
pids+=($!)
for _ in $(seq 100); do [ -s "$tmp/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$tmp/display")"
export QT_QPA_PLATFORM=xcb
load_before=$(cut -d' ' -f1-3 /proc/loadavg)

# Why a harness run failed, for the table.
why() { local e; e=$(val "$1" error); [ "$e" = "?" ] && e="harness failed, see its output"; echo "failed: $e"; }

# ---- the real program: processor share over the same stream ----
# Its counter cannot be read from outside without a hook, so the window harness counts;
# this only checks that the program itself costs what the harness says.
real_cpu() {
  local rate=$1 dir="$tmp/real-$1" ticks0 ticks1 t0 t1 pid emu wid
  mkdir -p "$dir"
  # A copy in a folder of its own: no settings, catalogue or state of an earlier run.
  cp "$app" "$dir/"
  "$emulator" --dir "$dir" --port 10 --rate "$rate" --duration "$link_s" >"$dir/emu.out" 2>"$dir/emu.err" &
  emu=$!
  pids+=($emu)
  for _ in $(seq 100); do [ -s "$dir/emu.out" ] && break; sleep 0.1; done
  "$dir/transformer-bench" >/dev/null 2>&1 &
  pid=$!
  pids+=($pid)
  wid=$(timeout 30 xdotool search --sync --onlyvisible --pid "$pid" --name "Электромагнитные" 2>/dev/null | head -n 1 || true)
  if [ -z "$wid" ]; then echo "window not found"; kill "$pid" "$emu" 2>/dev/null; return; fi
  sleep 1
  # The tab "Омическое сопротивление" opens the port without rated data.
  xdotool mousemove --window "$wid" 810 10 click 1
  for _ in $(seq 100); do grep -q "the port was opened" "$dir/emu.err" && break; sleep 0.05; done
  if ! grep -q "the port was opened" "$dir/emu.err"; then echo "the click did not open the port"; kill "$pid" "$emu" 2>/dev/null; return; fi
  t0=$(date +%s%N)
  ticks0=$(awk '{ print $14 + $15 }' "/proc/$pid/stat")
  for _ in $(seq $((link_s * 30 + 300))); do grep -q "packets sent; stopping" "$dir/emu.err" && break; sleep 0.1; done
  ticks1=$(awk '{ print $14 + $15 }' "/proc/$pid/stat")
  t1=$(date +%s%N)
  kill "$pid" "$emu" 2>/dev/null || true
  wait "$pid" "$emu" 2>/dev/null || true
  awk -v d="$((ticks1 - ticks0))" -v hz="$(getconf CLK_TCK)" -v ns="$((t1 - t0))" \
    'BEGIN { printf "%.1f %%", 100 * d / hz / (ns / 1e9) }'
}

rows=()
row() { rows+=("| $1 | $2 |"); echo "  $1: $2" >&2; }

# ---- start-up ----
# The program's start and a bare Qt window with as many widgets, started in turn.
startup_rows() {
  local files f args label read_back
  echo "start-up..." >&2
  for files in none full; do
    f="$tmp/startup-$files.txt"
    args=(startup --runs "$runs")
    label="no files"
    if [ $files = full ]; then args+=(--catalogue 10000); label="catalogue of 10 000 types and a full state file"; fi
    if "$harness" "${args[@]}" >"$f" 2>"$f.err"; then
      read_back=""
      [ $files = full ] && read_back="; the type list shows $(val "$f" types) names, the stored type \"$(val "$f" name)\" loaded"
      row "Start-up to the main window painted, $label (median of $runs)" \
          "$(val "$f" startup_median_ms) ms (fastest $(val "$f" startup_min_ms), slowest $(val "$f" startup_max_ms)$read_back)"
      row "Floor: a bare Qt window with as many widgets ($(val "$f" widgets)) painted, in turn with the row above (median of $runs)" \
          "$(val "$f" floor_median_ms) ms (fastest $(val "$f" floor_min_ms), slowest $(val "$f" floor_max_ms))"
    else
      row "Start-up, $label" "$(why "$f")"
    fi
  done
}

if [ $startup_only = 1 ]; then
  startup_rows
  load_after=$(cut -d' ' -f1-3 /proc/loadavg)
  rows+=("| Start-up rows: load average | $load_before before, $load_after after ($(date -u '+%Y-%m-%d %H:%M UTC'), commit $(git rev-parse --short HEAD 2>/dev/null || echo '?'), \`run.sh --startup\`) |")
  # The start-up rows of the table give way to the new ones, in their place.
  printf '%s\n' "${rows[@]}" >"$tmp/startup-rows"
  awk -v new="$tmp/startup-rows" '
    /^\| (Start-up|Floor: a bare Qt window)/ { if (!done) { while ((getline l < new) > 0) print l; done = 1 } next }
    { print }' "$table" >"$tmp/table" && mv "$tmp/table" "$table"
  printf '%s\n' "${rows[@]}"
  exit 0
fi

# ---- link ----
for m in 1 10 30; do
  rate=$((line_rate * m))
  f="$tmp/link-$m.txt"
  echo "link ${m}x..." >&2
  if "$harness" link --emulator "$emulator" --rate "$rate" --seconds "$link_s" >"$f" 2>"$f.err"; then
    sent=$(val "$f" sent); counted=$(val "$f" counted)
    lost="?"; [[ $sent =~ ^[0-9]+$ && $counted =~ ^[0-9]+$ ]] && lost=$((sent - counted))
    note=""; [ "$(val "$f" finished)" = "yes" ] || note=" (the emulator had not sent its count in time)"
    row "Link ${m}x ($rate packets/s, ${link_s} s): sent / refused by a full line / counted (\"VA n\") / lost / failed" \
        "$sent / $(val "$f" refused) / $counted / $lost / $(val "$f" failed)$note"
    row "Link ${m}x: processor, share of one core (window harness / real program)" \
        "$(val "$f" cpu_percent) % / $(real_cpu "$rate")"
    row "Link ${m}x: screen updates per second of the main window (widget paints per second)" \
        "$(val "$f" updates_per_s) ($(val "$f" paints_per_s))"
  else
    row "Link ${m}x ($rate packets/s)" "$(why "$f")"
  fi
done
qt=$(val "$tmp/link-1.txt" qt)

# ---- start-up ----
startup_rows

# ---- protocol ----
echo "protocol..." >&2
f="$tmp/protocol.txt"
if "$harness" protocol >"$f" 2>"$f.err"; then
  preview=$(val "$f" preview_ms)
  if [ "$preview" != "?" ]; then
    row "Protocol: press of \"Протокол\" to page 1 painted" "$preview ms"
    row "Protocol: both pages to PDF (\"Сохранить в PDF\", median of 5)" "$(val "$f" pdf_ms) ms, $(val "$f" pdf_bytes) bytes"
    row "Protocol: both pages to the printer's file output (\"Печать\", two jobs, median of 5)" "$(val "$f" print_ms) ms"
    row "Protocol: a file at the bound (\"Открыть\", $(val "$f" bound_bytes) bytes, every bound reached) repainted at zoom $(val "$f" bound_zoom) % (median of 5, target < 100 ms)" "$(val "$f" bound_repaint_ms) ms"
  else
    row "Protocol: press of \"Протокол\" to page 1 painted" "$(val "$f" preview)"
    row "Protocol: both pages to PDF" "not built (no preview)"
    row "Protocol: both pages to the printer's file output" "not built (no preview)"
  fi
else
  row "Protocol" "$(why "$f")"
fi

# ---- memory ----
echo "memory over $memory_s s at 10x..." >&2
f="$tmp/memory.txt"
if "$harness" link --emulator "$emulator" --rate $((line_rate * 10)) --seconds "$memory_s" --rss-at "$mark_s" >"$f" 2>"$f.err"; then
  start=$(val "$f" rss_start_kib); mark=$(val "$f" rss_mark_kib); end=$(val "$f" rss_end_kib)
  sent=$(val "$f" sent); counted=$(val "$f" counted)
  if [[ $start =~ ^[0-9]+$ && $mark =~ ^[0-9]+$ && $end =~ ^[0-9]+$ && $sent =~ ^[0-9]+$ && $counted =~ ^[0-9]+$ ]]; then
    row "Memory: resident size after start" "$start KiB"
    row "Memory: resident after $mark_s s / after $memory_s s at 10x ($((sent - counted)) of $sent packets lost, $(val "$f" refused) refused)" \
        "$mark KiB / $end KiB: growth after the first $mark_s s $((end - mark)) KiB, since start $((end - start)) KiB"
  else
    row "Memory" "failed: the harness gave no sizes (start $start, mark $mark, end $end)"
  fi
else
  row "Memory" "$(why "$f")"
fi

# ---- resynchronisation of the framer ----
if [ -x build/benchmarks/bench_resync ]; then
  f="$tmp/resync.txt"
  if build/benchmarks/bench_resync >"$f" 2>"$f.err"; then
    while IFS= read -r line; do
      name=${line#stream }; name=${name%%:*}
      set -- ${line#*: }  # packets N lost N false N bytes N
      if [ "$2" -gt 0 ]; then
        row "Framer, $name: sound packets sent / lost / false packets taken" \
            "$2 / $4 / $6 ($(awk -v p="$2" -v l="$4" 'BEGIN { printf "%.3f", 100 * (p - l) / p }') % counted)"
      else
        row "Framer, $name: false packets taken" "$6 in $(( $8 >> 20 )) MB"
      fi
    done < <(grep '^stream ' "$f")
  else
    row "Framer resynchronisation" "failed: build/benchmarks/bench_resync exited with an error"
  fi
else
  row "Framer resynchronisation" "not built (build/benchmarks/bench_resync does not exist)"
fi

# ---- the archive at a million records ----
# The first run fills build/benchmarks/archive-scale/varnek.db (about 4 GB, a few minutes) and keeps it.
if [ -x build/benchmarks/bench_archivescale ]; then
  f="$tmp/archive.txt"
  echo "archive at a million records..." >&2
  if QT_QPA_PLATFORM=offscreen build/benchmarks/bench_archivescale >"$f" 2>"$f.err"; then
    n=$(sed -n 's/^records //p' "$f")
    while IFS= read -r line; do
      row "Archive of $n records: ${line%%: *}" "${line#*: }"
    done < <(grep -E '^(window shown|filter per|  of which|search going|click on|scroll to|span of|store of|export)' "$f")
  else
    row "Archive at a million records" "failed: build/benchmarks/bench_archivescale exited with an error"
  fi
else
  row "Archive at a million records" "not built (build/benchmarks/bench_archivescale does not exist)"
fi

# ---- the window with an archive server that does not answer as it should ----
if grep -qw bench_archiveserver <<<"$targets" && cmake --build build -j"$(nproc)" --target bench_archiveserver >/dev/null; then
  f="$tmp/archiveserver.txt"
  if build/benchmarks/bench_archiveserver >"$f" 2>"$f.err"; then
    for c in "listening:a server that only listens" "lock:tables locked by another session" \
             "stalled:a server stalled (SIGSTOP) after it was reached" "healthy:a healthy server (for comparison)"; do
      row "Archive, ${c#*:}: longest stall of the event loop (aim 100 ms) / close" \
          "$(val "$f" "${c%%:*}_stall_ms") ms / $(val "$f" "${c%%:*}_close_ms") ms"
    done
  else
    row "Archive server stalls" "failed: $(tail -n 1 "$f.err")"
  fi
else
  row "Archive server stalls" "not built (bench_archiveserver)"
fi

# ---- "Динамика": a transformer with 200 protocols ----
if grep -qw bench_history <<<"$targets" && cmake --build build -j"$(nproc)" --target bench_history >/dev/null; then
  f="$tmp/history.txt"
  if build/benchmarks/bench_history >"$f" 2>"$f.err"; then
    row "Динамика, $(val "$f" records) protocols of one transformer in an archive of 2200: click to the window painted / a chart of $(val "$f" series) series chosen to painted (median of 5, aim 200 ms)" \
        "$(val "$f" opened_ms) ms (max $(val "$f" opened_max_ms)) / $(val "$f" switched_ms) ms (max $(val "$f" switched_max_ms))"
  else
    row "Динамика" "$(why "$f")"
  fi
else
  row "Динамика" "not built (bench_history)"
fi

# The server archive last: it starts a cluster of its own and keeps the machine busy for minutes.
server_section="$tmp/server-section.md"
server_part "$server_section"

load_after=$(cut -d' ' -f1-3 /proc/loadavg)
cpu=$(lscpu | sed -n 's/^Model name: *//p' | head -n 1)
mkdir -p "$(dirname "$table")"
{
  echo "# Benchmarks"
  echo
  echo "Made by \`benchmarks/run.sh\` ($kind) on $(date -u '+%Y-%m-%d %H:%M UTC'), commit $(git rev-parse --short HEAD 2>/dev/null || echo '?')."
  echo "Machine: ${cpu:-unknown processor}, $(nproc) cores, Qt $qt, $(uname -sr), display Xvfb;"
  echo "load average $load_before at the start and $load_after at the end (other work shares the machine)."
  echo
  echo "| Measure | Value |"
  echo "|---|---|"
  printf '%s\n' "${rows[@]}"
  echo
  echo "Sent and refused come from the emulator's report; counted is the main window's own counter"
  echo "(\"VA n\"), failed its checksum counter (\"F n\"); lost = sent - counted. Refused packets fell due"
  echo "while the pseudo-terminal's queue (about 64 KiB, 20 ms at 30x) was full: the program had not read"
  echo "in time, or the emulator, starved of the processor, caught up in a burst. They never reached the"
  echo "line, so they are not in sent. The window harness (benchmarks/bench_window.cpp) creates the program's windows as the"
  echo "program does and counts from inside; the real program is build/src/app/transformer-bench under"
  echo "the same stream, its processor time read from /proc. A screen update is one repaint of the main"
  echo "window sent to the display."
  echo
  cat "$server_section"
} >"$table"
echo >&2
cat "$table"
