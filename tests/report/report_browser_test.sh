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
# The sample's files, at sizes a site's photos have, for what serving them cost.
only_root=$out/report-only-root
rm -rf "$only_root" && mkdir -p "$only_root/images/photos" "$only_root/images/maps"
for file in photos/harbour-1600.jpg:412000 photos/lighthouse.jpg:236000 \
            photos/market-hall.jpg:298000 maps/old-town.png:905000 logo.gif:4100; do
  truncate -s "${file#*:}" "$only_root/images/${file%%:*}"
done
# From the folder, so that the page (and its screenshot) names the root as given, not this path.
"$(dirname "$0")/../../scripts/report-only-sample.sh" "$only_log" &&
  (cd "$out" && "$program" --root report-only-root -o "$only_page" "$only_log" >/dev/null) ||
  { echo "FAIL: the report-only sample"; exit 1; }

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
  grep -o "id=\"$1\"[^>]*data-value=\"[0-9]*\">[0-9,]*<" "$dom" |
    sed -E 's/.*data-value="([0-9]*)">([0-9,]*)</\1 \2/'
}
expect_total() {  # expect_total ID VALUE: the value in the data and as text
  local got
  got=$(shown "$1")
  local text
  text=$(sed -E ':a; s/^([0-9]+)([0-9]{3})/\1,\2/; ta' <<<"$2")  # "2,377", whatever the locale
  if [ "$got" = "$2 $text" ]; then echo "ok: $1 = $2"; else fail "$1: expected '$2 $text', got '$got'"; fi
}
dom=$out/report-dom.html
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
dom=$out/report-only-dom.html
expect_total total-would-block "$(grep -c " : Would block " "$only_log")"
expect_total total-blocked 0
grep -q '<rect class="would"' "$dom" || fail "the timeline has no would-block bars"
grep -q 'id="total-would-block-bytes" data-value="[1-9]' "$dom" ||
  fail "no cost of the requests that would have been blocked"
grep -q 'forum.hotlinker.example</td>' "$dom" || fail "the hot-linker that would be blocked is not listed"
[ -s "$out/report-only.png" ] || fail "no screenshot report-only.png"

echo "report: $page, screenshots: $out/report.png, $out/report-only.png"
[ "$failures" -eq 0 ] || { echo "report browser test: $failures failure(s)"; exit 1; }
echo "report browser test passed"
