#!/usr/bin/env bash
# Runs the corvane.exe test program under Wine on a virtual desktop (so that windows have
# captions) on an Xvfb display. The screenshot of the dialog stays beside the report, as a PNG
# when ImageMagick can convert it.
# Usage: corvane_wine_test.sh WINE_RUN TEST_EXE RESULTS_FOLDER
set -uo pipefail
wine_run=$1 test_exe=$2 results=$3
command -v xvfb-run >/dev/null || { echo "xvfb-run is missing: skipped"; exit 77; }
mkdir -p "$results"
report="$results/corvane_wine_tests.xml"
rm -f "$report" "$results/corvane_dialog.bmp" "$results/corvane_dialog.png"
xvfb-run -a -s "-screen 0 1024x768x24" \
  "$wine_run" explorer /desktop=corvane-test,1024x768 "$test_exe" \
  "--gtest_output=xml:$(printf 'Z:%s' "$report" | tr / '\\')"
[ -s "$report" ] || { echo "the test program wrote no report"; exit 1; }
grep -o '<testsuites [^>]*>' "$report"
if [ -f "$results/corvane_dialog.bmp" ] && command -v convert >/dev/null; then
  convert "$results/corvane_dialog.bmp" "$results/corvane_dialog.png" 2>/dev/null &&
    rm "$results/corvane_dialog.bmp"
fi
grep -q '<testsuites tests="[1-9][0-9]*" failures="0" disabled="0" errors="0"' "$report" || {
  grep -A3 '<failure' "$report"
  exit 1
}
