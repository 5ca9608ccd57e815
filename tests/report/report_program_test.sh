#!/usr/bin/env bash
# pixwall-report on the logs of two servers, the current log and the backup given in either
# order, with a damaged and a cut line: the page holds the totals of every line it understood and
# the count of the others. A log that cannot be read is an error, and the page names it. Runs the
# Windows program through Wine when an emulator is given.
# Usage: report_program_test.sh [EMULATOR] PIXWALL_REPORT OUTPUT_FOLDER
set -uo pipefail
run=()
[ $# -eq 3 ] && { run=("$1"); shift; }
program=$1 out=$2
rm -rf "$out" && mkdir -p "$out/one" "$out/two" "$out/root/images" && cd "$out" || exit 1
printf '%s\r\n' \
  "12/31/05 23:58:00 : Pixwall for IIS started" \
  "12/31/05 23:59:58 : Blocking /images/a.gif : Referrer hotlinker.example is black listed" \
  "12/31/05 23:59:58 : Sending alternate resource for /images/a.gif" >one/pixwall.1.log
printf '%s\r\n' \
  "01/01/06 00:00:03 : Blocking /images/a.gif : Dynamic access denied for 192.0.2.7" \
  "01/01/06 00:00:04 : Allowing /images/a.gif : Referrer localhost is white listed" \
  "01/01/06 00:10:00 : Rebuilding configuration due to changes" \
  "damaged line" >one/pixwall.log
printf '%s\r\n' \
  "01/01/06 01:00:00 : Blocking /images/a.gif : Referrer is null for 192.0.2.8" \
  "01/01/06 01:00:01 : Allowing /index.html : No block rules for 192.0.2.8" >two/pixwall.log
printf '01/01/06 01:00:02 : Blocking /images/a.gi' >>two/pixwall.log
head -c 1000 /dev/zero >root/images/a.gif

failures=0 n=0
check() {  # check PAGE ID VALUE
  local got
  got=$(grep -o "id=\"$2\"[^>]*data-value=\"[0-9]*\"" "$1" | sed 's/.*data-value="//; s/"$//')
  if [ "$got" = "$3" ]; then echo "ok: $1 $2 = $3"; else
    echo "FAIL: $1 $2: expected $3, got '${got:-nothing}'"; failures=$((failures + 1)); fi
}
for order in "one/pixwall.log one/pixwall.1.log two/pixwall.log" \
             "two/pixwall.log one/pixwall.1.log one/pixwall.log"; do
  page=report-$((++n)).html
  # shellcheck disable=SC2086
  "${run[@]}" "$program" --root root -o "$page" $order || { echo "FAIL: exit $? for $order"; failures=$((failures + 1)); continue; }
  check "$page" total-judged 5
  check "$page" total-allowed 2
  check "$page" total-blocked 3
  check "$page" total-alternates 1
  check "$page" total-not-found 2
  check "$page" total-rebuilds 1
  check "$page" total-bytes 3000
  check "$page" not-understood 2
  grep -q "From 2005-12-31 23:58:00 to 2006-01-01 01:00:01" "$page" ||
    { echo "FAIL: $page: period"; failures=$((failures + 1)); }
done
cmp -s report-1.html report-2.html || { echo "FAIL: the order of the logs changed the page"; failures=$((failures + 1)); }

"${run[@]}" "$program" -o missing.html one/none.log >/dev/null 2>&1
[ $? -eq 1 ] && [ ! -e missing.html ] || { echo "FAIL: a log that cannot be read is an error"; failures=$((failures + 1)); }
"${run[@]}" "$program" -o folder.html one >/dev/null 2>folder.err
[ $? -eq 1 ] && [ ! -e folder.html ] && grep -q 'cannot read one' folder.err ||
  { echo "FAIL: a folder given as the only log is an error"; failures=$((failures + 1)); }
"${run[@]}" "$program" -o some.html one/pixwall.log one >/dev/null 2>&1 ||
  { echo "FAIL: exit $? when one log of two could be read"; failures=$((failures + 1)); }
check some.html unreadable 1
"${run[@]}" "$program" >/dev/null 2>&1
[ $? -eq 2 ] || { echo "FAIL: no log given is a usage error"; failures=$((failures + 1)); }

[ "$failures" -eq 0 ] || { echo "report program test: $failures failure(s)"; exit 1; }
echo "report program test passed"
