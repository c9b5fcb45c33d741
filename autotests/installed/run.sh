#!/usr/bin/env bash
# The Debian package as a workshop gets it: builds it (scripts/package.sh), installs it with
# dpkg, starts the installed program as an unprivileged user on a display of its own with
# the installed emulator on a pseudo-terminal, opens the port, starts a resistance
# measurement, opens the manual with F1, closes the program by SIGTERM, and checks that the records are in the user's
# data folder and that the user wrote nothing anywhere else; then purges the package and
# checks that nothing of it is left. Run as root by ./test.sh after ctest (it installs into
# this machine); a machine with the package already installed is left alone.
set -euo pipefail
cd "$(dirname "$0")/../.."
say() { echo "installed package: $*"; }
fail() { say "FAIL: $*"; [ -n "${work:-}" ] && tail -n 20 "$work"/*.err 2>/dev/null; exit 1; }

if [ "$(id -u)" != 0 ]; then say "skipped: installing needs root"; exit 0; fi
if dpkg-query -W -f='${Status}' transformer-bench 2>/dev/null | grep -q "ok installed" || [ -e /usr/bin/transformer-bench ]; then
  say "skipped: transformer-bench is already installed here and is left as it is"
  exit 0
fi

deb=$(scripts/package.sh | tail -n 1)
user=benchuser
marker="transformer-bench installed test"
work=$(mktemp -d)
chmod 755 "$work"
pids=()
installed=0
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  [ "$installed" = 1 ] && dpkg --purge transformer-bench >/dev/null 2>&1 || true
  if [ "$(getent passwd "$user" | cut -d: -f5)" = "$marker" ]; then userdel -r "$user" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# A user of our own, made afresh; one of that name made by someone else is not touched.
if id "$user" >/dev/null 2>&1; then
  [ "$(getent passwd "$user" | cut -d: -f5)" = "$marker" ] || fail "a user $user exists that this test did not make"
  userdel -r "$user" 2>/dev/null || true
fi
useradd --create-home --shell /bin/bash --comment "$marker" "$user"
home=$(getent passwd "$user" | cut -d: -f6)
uid=$(id -u "$user")
data="$home/.local/share/transformer-bench"
runtime="$work/runtime"
install -d -m 700 -o "$user" -g "$user" "$runtime"

dpkg -i "$deb" >"$work/dpkg.err" 2>&1 || fail "dpkg -i $deb"
installed=1
for f in /usr/bin/transformer-bench /usr/bin/bench-emulator \
         /usr/share/applications/ru.varnek.transformerbench.desktop \
         /usr/share/icons/hicolor/scalable/apps/ru.varnek.transformerbench.svg \
         /usr/share/metainfo/ru.varnek.transformerbench.metainfo.xml \
         /usr/share/doc/transformer-bench/copyright /usr/share/doc/transformer-bench/changelog.gz \
         /usr/share/doc/transformer-bench/manual.html \
         /usr/share/man/man1/transformer-bench.1.gz /usr/share/man/man1/bench-emulator.1.gz; do
  [ -f "$f" ] || fail "$f is not installed"
done
# Only what running needs: no compiler, build tool, display server or database server.
depends=$(dpkg-query -W -f='${Depends}' transformer-bench)
for name in $(tr ',' '\n' <<<"$depends" | sed 's/^ *//; s/ .*//'); do
  case "$name" in
    g++* | gcc | gcc-* | clang* | cmake | make | *-dev | xvfb | xauth | xdotool | postgresql*)
      fail "the package depends on $name: $depends" ;;
  esac
done
files=$(dpkg -L transformer-bench)

display=
for n in $(seq 71 99); do
  if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then display=":$n"; break; fi
done
[ -n "$display" ] || fail "no free display"
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.err" 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done

stamp="$work/stamp"
touch "$stamp"
sleep 1
# The user's own session: nothing of root's environment, the working folder "/". Only run
# in the background, so that the exec replaces that job and $! is the program itself.
as_user() {
  cd / && exec setpriv --reuid="$uid" --regid="$uid" --init-groups \
     env -i HOME="$home" USER="$user" LOGNAME="$user" PATH=/usr/bin:/bin LANG=C.UTF-8 \
     DISPLAY="$display" XDG_RUNTIME_DIR="$runtime" "$@"
}

# Answered on a terminal with no display, and nothing else starts.
as_user env -u DISPLAY transformer-bench --version >"$work/version.out" 2>"$work/version.err" &
wait $! || fail "transformer-bench --version ended with an error"
grep -q "^transformer-bench [0-9]" "$work/version.out" || fail "transformer-bench --version printed: $(cat "$work/version.out")"

as_user bench-emulator --port 10 --preset idle >"$work/emulator.out" 2>"$work/emulator.err" &
pids+=($!)
for _ in $(seq 50); do grep -q "^COM10 -> " "$work/emulator.out" && break; sleep 0.1; done
[ -L "$data/COM10" ] || fail "the installed emulator put no COM10 in $data"

as_user transformer-bench >"$work/program.out" 2>"$work/program.err" &
app=$!
pids+=($app)
wid=$(DISPLAY=$display timeout 30 xdotool search --sync --onlyvisible --pid "$app" --name "Электромагнитные" | head -n 1) \
  || fail "the installed program showed no main window"
# The tab "Омическое сопротивление" opens the port; its "Пуск" is enabled only by a good
# signal packet, and sends the start command the emulator reports.
DISPLAY=$display xdotool mousemove --window "$wid" 810 10 click 1
sleep 2
DISPLAY=$display xdotool mousemove --window "$wid" 385 258 click 1
sleep 2
# F1 where the pointer rests, on the main window: the manual built into the program opens.
DISPLAY=$display xdotool key F1
DISPLAY=$display timeout 15 xdotool search --sync --onlyvisible --pid "$app" --name "Руководство оператора" >/dev/null \
  || fail "F1 opened no manual"
[ -n "${INSTALLED_SHOT:-}" ] && DISPLAY=$display import -window root "$INSTALLED_SHOT"
kill -TERM "$app"
for _ in $(seq 100); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
kill -0 "$app" 2>/dev/null && fail "the program did not close on SIGTERM"
wait "$app" || fail "the program ended with an error"
kill -TERM "${pids[1]}"
wait "${pids[1]}" || true

grep -q "resistance measurement started" "$work/emulator.err" || fail "the emulator got no resistance command: the program read no packet"
[ -f "$data/varnek.tmp" ] || fail "no state file in $data"
[ "$(stat -c %U "$data/varnek.tmp")" = "$user" ] || fail "the state file is not the user's"
# The resistance the bench sent, kept in the state file at the close.
grep -aEq "^ResistenceGrid[0-9]+=[0-9]" "$data/varnek.tmp" || fail "no measured resistance in the state file"

# Everything the user owns that is new lies in the data folder (or is a cache or the
# session's runtime folder); no varnek.* appeared anywhere else.
others=$(find / -xdev \( -path /proc -o -path /sys -o -path /dev -o -path "$runtime" -o -path "$home/.cache" \) -prune \
           -o -user "$user" -newer "$stamp" ! -path "$data" ! -path "$data/*" ! -path "$home" ! -path "$home/.local" \
              ! -path "$home/.local/share" -print)
[ -z "$others" ] || fail "written outside $data: $others"
strays=$(find / -xdev \( -path /proc -o -path /sys -o -path "$data" \) -prune -o -name 'varnek.*' -newer "$stamp" -print)
[ -z "$strays" ] || fail "records outside $data: $strays"
say "records in $data: $(cd "$data" && ls | tr '\n' ' ')"

dpkg --purge transformer-bench >"$work/dpkg.err" 2>&1 || fail "dpkg --purge"
installed=0
while read -r f; do
  [ -f "$f" ] && fail "$f is left after the purge"
done <<<"$files"
dpkg-query -W transformer-bench >/dev/null 2>&1 && fail "dpkg still knows the package"
say "installed, ran as $user, purged: 1 passed, 0 failed"
