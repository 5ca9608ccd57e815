#!/usr/bin/env bash
# The demo in headless Chromium: the protected page shows its real images; the foreign page,
# which hot-links them, shows the alternate where one is configured and a broken image where
# none is, whichever page is opened first. A screenshot of each page is kept in OUTPUT_FOLDER.
# Exit 77 (skipped) only when Chromium is not installed.
# Usage: browser_test.sh PIXWALL_HOST PIXWALL_SO OUTPUT_FOLDER
set -uo pipefail
host_program=$1 module=$2 out=$3
here=$(cd "$(dirname "$0")" && pwd)
chromium=$(command -v chromium || command -v chromium-browser || true)
if [ -z "$chromium" ]; then
  echo "SKIPPED: Chromium is not installed (scripts/setup.sh installs Debian's chromium; it could not be installed here)"
  exit 77
fi

rm -rf "$out" && mkdir -p "$out"
# Two free loopback ports: the demo's pages and alternates name them.
free_port() {
  local port
  for _ in $(seq 1 50); do
    port=$((20000 + RANDOM % 30000))
    if ! (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && [ "$port" != "${1:-}" ]; then
      echo "$port"
      return
    fi
  done
  return 1
}
protected_port=$(free_port) && foreign_port=$(free_port "$protected_port") || { echo "no free port"; exit 1; }
"$here/../../host/demo/stage.sh" "$out/demo" "$module" "$protected_port" "$foreign_port" || exit 1

"$host_program" --timeout 10 \
  --site "$out/demo/protected" --name localhost --port "$protected_port" \
  --filter "$out/demo/pixwall/pixwall.so" --filter "$out/demo/pixwall-404/pixwall.so" \
  --site "$out/demo/foreign" --name 127.0.0.1 --port "$foreign_port" >"$out/host.log" 2>&1 &
host_pid=$!
profiles=()
cleanup() {
  kill "$host_pid" 2>/dev/null && wait "$host_pid" 2>/dev/null
  rm -rf "${profiles[@]}"
}
trap cleanup EXIT
for _ in $(seq 1 100); do
  [ "$(grep -c '^listening ' "$out/host.log")" -ge 2 ] && break
  sleep 0.1
done
[ "$(grep -c '^listening ' "$out/host.log")" -ge 2 ] || { cat "$out/host.log"; echo "FAIL: the host did not start"; exit 1; }

# A fresh browser for every visit; the filter still remembers the address between them.
browse() {  # browse URL SHOT: writes SHOT.png and SHOT.html (the DOM after loading)
  local profile
  profile=$(mktemp -d)
  profiles+=("$profile")
  local flags=(--headless --no-sandbox --disable-gpu --disable-quic --no-first-run
    --disable-background-networking --disable-component-update --disable-sync
    --user-data-dir="$profile" --virtual-time-budget=5000 --window-size=1000,700)
  timeout 60 "$chromium" "${flags[@]}" --dump-dom "$1" >"$out/$2.html" 2>>"$out/chromium.log"
  timeout 60 "$chromium" "${flags[@]}" --screenshot="$out/$2.png" "$1" >>"$out/chromium.log" 2>&1
}

failures=0
expect() {  # expect SHOT FIGURE STATE
  local got
  got=$(grep -o "<figure id=\"$2\" data-state=\"[^\"]*\"" "$out/$1.html" | sed 's/.*data-state="//; s/"$//')
  if [ "$got" = "$3" ]; then
    echo "ok: $1 $2: $3"
  else
    echo "FAIL: $1 $2: expected '$3', got '${got:-nothing}'"
    failures=$((failures + 1))
  fi
}
check_foreign() {
  expect "$1" logo "shown 180x90"    # the GIF alternate
  expect "$1" photo "shown 160x100"  # the default alternate
  expect "$1" chart "broken"         # no alternate: 404
}

protected="http://localhost:$protected_port/"
foreign="http://127.0.0.1:$foreign_port/"
browse "$foreign" foreign-first && check_foreign foreign-first
browse "$protected" protected
expect protected logo "shown 200x120"
expect protected photo "shown 240x160"
expect protected chart "shown 220x140"
browse "$foreign" foreign && check_foreign foreign
for shot in foreign-first protected foreign; do
  [ -s "$out/$shot.png" ] || { echo "FAIL: no screenshot $shot.png"; failures=$((failures + 1)); }
done

log="$out/demo/pixwall/LogFiles/pixwall.log"
for line in "Blocking /images/logo.gif : Referrer 127.0.0.1 is black listed" \
            "Sending alternate resource for /images/photo.jpg" \
            "Allowing /images/logo.gif : Referrer localhost is white listed"; do
  grep -qF " : $line" "$log" || { echo "FAIL: no log line '$line'"; failures=$((failures + 1)); }
done
grep -qF " : Blocking /images/chart.png : Referrer 127.0.0.1 is black listed" \
  "$out/demo/pixwall-404/LogFiles/pixwall.log" || { echo "FAIL: png not blocked"; failures=$((failures + 1)); }

echo "screenshots: $out/foreign-first.png $out/protected.png $out/foreign.png"
[ "$failures" -eq 0 ] || { echo "browser test: $failures failure(s)"; exit 1; }
echo "browser test passed"
