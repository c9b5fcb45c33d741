#!/usr/bin/env bash
# Builds the Debian package of the program and the bench emulator from build/ (or the
# folder given as $1) after checking the menu entry and the metainfo with Debian's own
# validators, and checks the package with lintian: any error fails, warnings are shown.
# Prints the path of the .deb (build/transformer-bench_<version>_<arch>.deb) last.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
[ -f "$dir/CMakeCache.txt" ] || cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" >/dev/null
cmake "$dir" >/dev/null
cmake --build "$dir" --target transformer-bench bench-emulator package-docs -j"$(nproc)" >/dev/null
desktop-file-validate packaging/*.desktop
# Its "first word not capitalized" notes do not know Cyrillic capitals; warnings and errors fail.
report=$(appstreamcli validate --no-net "$dir"/packaging/*.metainfo.xml) || { echo "$report"; exit 1; }
rm -f "$dir"/transformer-bench_*.deb
(cd "$dir" && cpack -G DEB >cpack.log 2>&1) || { cat "$dir/cpack.log"; exit 1; }
deb=$(ls "$PWD/$dir"/transformer-bench_*.deb)
lintian --fail-on error "$deb" >&2 || { echo "lintian found errors in $deb" >&2; exit 1; }
echo "$deb"
