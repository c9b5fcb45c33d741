#!/usr/bin/env bash
# The libraries below src/app need no window: none links Qt Widgets or Qt's printing support
# (which brings Widgets), includes a widget or printer header, includes a header of src/app,
# or looks a widget up by its name.
# The report engine's screen views (src/protocol/engine/views) are widgets by design.
set -uo pipefail
cd "$(dirname "$0")/.."
found=0
below=$(find src -path src/app -prune -o -path src/protocol/engine/views -prune -o -type f -print)
if grep -nE 'Qt6::(Widgets|PrintSupport)' $(grep -E 'CMakeLists\.txt$' <<<"$below") | grep -v benchreportviews; then
  echo "a library below src/app links Qt Widgets or PrintSupport"; found=1
fi
sources=$(grep -E '\.(h|cpp)$' <<<"$below")
if grep -nE '#include <(QtWidgets/|QtPrintSupport/)?(QWidget|QApplication|QPrinter|QPrintDialog|QPageSetupDialog|QDialog|QMessageBox|QFileDialog|QLabel|QPushButton|QLineEdit|QTableView|QTableWidget|QAbstractButton|QStyle)>' $sources; then
  echo "a file below src/app includes a widget or printer header"; found=1
fi
for header in $(find src/app -name '*.h' -printf '%f\n'); do
  if grep -nF "#include \"$header\"" $sources; then
    echo "a file below src/app includes $header of src/app"; found=1
  fi
done
# Results reach the libraries as data (the record of results), never as a control found by
# its name: nothing below src/app, nor the judgement's caller, looks a widget up by name.
if grep -nE '(\.|->|\b)control(<[^>]*>)?\(|findChild *[<(]' $(find src -path src/app -prune -o -type f \( -name '*.h' -o -name '*.cpp' \) -print) src/app/assessmentcontroller.*; then
  echo "a widget is looked up by its name below src/app or in the judgement"; found=1
fi
# A library linked only when its target happens to exist hides a missing floor until a
# build without it fails somewhere else.
for list in $(find src tools -name CMakeLists.txt); do
  if awk '/if\(TARGET/ {inside=1} inside && /target_link_libraries/ {print FILENAME": "$0; bad=1} /endif\(/ {inside=0} END {exit !bad}' "$list"; then
    echo "a library is linked only if its target exists"; found=1
  fi
done
[ "$found" = 0 ] && echo "floors hold"
exit "$found"
