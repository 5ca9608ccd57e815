#!/usr/bin/env bash
# The demo's logs, as the browser test leaves them, made into a report and opened in headless
# Chromium: the page loads without error or blocked fetch, its totals match the logs, its charts
# have their bars, and a screenshot (report.png) is kept beside the browser test's. Then the same
# for the sample log of report-only mode (scripts/report-only-sample.sh): its "would have
# blocked" series, and report-only.png.
# Exit 77 (skipped) when Chromium is not installed.
# Usage: report_browser_test.sh PIXWALL_REPORT BROWSER_TEST_FOLDER
set -uo pipefail
program=$1 out=$2
chromium=$(command -v chromium || command -v chromium-browser || true)
if [ -z "$chromium" ]; then
  echo "SKIPPED: Chromium is not installed"
  exit 77
fi
logs=("$out/demo/pixwall/LogFiles/pixwall.log" "$out/demo/pixwall-404/LogFiles/pixwall.log")
for log in "${logs[@]}"; do
  [ -s "$log" ] || { echo "FAIL: no log $log (the browser test runs first)"; exit 1; }
done
page=$out/report.html
only_log=$out/report-only.log only_page=$out/report-only.html
rm -f "$page" "$out/report.png" "$out/report-dom.html" "$only_page" "$out/report-only.png"
"$program" --root "$out/demo/protected" -o "$page" "${logs[@]}" || { echo "FAIL: pixwall-report"; exit 1; }
"$(dirname "$0")/../../scripts/report-only-sample.sh" "$only_log" &&
  "$program" -o "$only_page" "$only_log" >/dev/null || { echo "FAIL: the report-only sample"; exit 1; }

profile=$(mktemp -d)
trap 'rm -rf "$profile"' EXIT
flags=(--headless --no-sandbox --disable-gpu --no-first-run --disable-background-networking
  --disable-component-update --disable-sync --user-data-dir="$profile" --enable-logging=stderr
  --v=0 --window-size=1100,1400)
timeout 60 "$chromium" "${flags[@]}" --dump-dom "file://$page" >"$out/report-dom.html" \
  2>"$out/report-chromium.log"
timeout 60 "$chromium" "${flags[@]}" --screenshot="$out/report.png" "file://$page" \
  >>"$out/report-chromium.log" 2>&1
timeout 60 "$chromium" "${flags[@]}" --dump-dom "file://$only_page" >"$out/report-only-dom.html" \
  2>>"$out/report-chromium.log"
timeout 60 "$chromium" "${flags[@]}" --screenshot="$out/report-only.png" "file://$only_page" \
  >>"$out/report-chromium.log" 2>&1

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
count() { cat "${logs[@]}" | grep -cE "^[0-9/]{8} [0-9:]{8} : $1" || true; }
shown() {  # the value a total shows, from the page as Chromium loaded it
  grep -o "id=\"$1\"[^>]*data-value=\"[0-9]*\">[0-9,]*<" "$out/report-dom.html" |
    sed -E 's/.*data-value="([0-9]*)">([0-9,]*)</\1 \2/'
}
expect_total() {  # expect_total ID VALUE: the value in the data and as text
  local got
  got=$(shown "$1")
  local text
  text=$(printf "%'d" "$2" 2>/dev/null || echo "$2")
  if [ "$got" = "$2 $text" ]; then echo "ok: $1 = $2"; else fail "$1: expected '$2 $text', got '$got'"; fi
}
allowed=$(count "Allowing ")
blocked=$(count "Blocking ")
alternates=$(count "Sending alternate resource for ")
[ "$blocked" -gt 0 ] && [ "$alternates" -gt 0 ] || fail "the demo's logs hold no blocks or alternates"
expect_total total-judged $((allowed + blocked))
expect_total total-allowed "$allowed"
expect_total total-blocked "$blocked"
expect_total total-alternates "$alternates"
expect_total total-not-found $((blocked - alternates))
expect_total total-rebuilds "$(count "Rebuilding configuration due to changes")"
expect_total not-understood 0

bars=$(grep -o '<rect class="blocked"' "$out/report-dom.html" | wc -l)
[ "$bars" -gt 0 ] || fail "the timeline has no blocked bars"
grep -q '127.0.0.1</td>' "$out/report-dom.html" || fail "the black-listed referrer is not listed"
grep -q '/images/logo.gif</td>' "$out/report-dom.html" || fail "the blocked file is not listed"
grep -qE 'Uncaught|Refused to|ERR_|Failed to load' "$out/report-chromium.log" &&
  fail "errors while loading: $(grep -E 'Uncaught|Refused to|ERR_|Failed to load' "$out/report-chromium.log" | head -3)"
[ -s "$out/report.png" ] || fail "no screenshot report.png"

# The report-only page: its would-block total and series; nothing counted as blocked.
would=$(grep -c " : Would block " "$only_log")
got=$(grep -o 'id="total-would-block"[^>]*data-value="[0-9]*"' "$out/report-only-dom.html" | grep -o '[0-9]*"$')
[ "$got" = "$would\"" ] && echo "ok: total-would-block = $would" || fail "total-would-block: expected $would, got '$got'"
grep -q 'id="total-blocked" data-value="0"' "$out/report-only-dom.html" || fail "report-only requests counted as blocked"
grep -q '<rect class="would"' "$out/report-only-dom.html" || fail "the timeline has no would-block bars"
grep -q 'forum.hotlinker.example</td>' "$out/report-only-dom.html" || fail "the hot-linker that would be blocked is not listed"
[ -s "$out/report-only.png" ] || fail "no screenshot report-only.png"

echo "report: $page, screenshots: $out/report.png, $out/report-only.png"
[ "$failures" -eq 0 ] || { echo "report browser test: $failures failure(s)"; exit 1; }
echo "report browser test passed"
