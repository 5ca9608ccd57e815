#!/usr/bin/env bash
# The demo in headless Chromium: the protected page shows its real images; the foreign page,
# which hot-links them, shows the alternate where one is configured and a broken image where
# none is, whichever page is opened first. Then the administrator's path: the host serves the
# sites of a metabase store, corvane (driven through tmux) installs the filter for the protected
# site, scripts/iisreset, the foreign page's images are blocked; uncheck, iisreset, they show
# again. Then the browser's own word (Fetch Metadata, links allowed): a foreign page's image
# without a Referer is blocked, the site's own page without Referers shows its images, and a link
# to the image opens it. A screenshot of each page is kept in OUTPUT_FOLDER.
# Exit 77 (skipped) only when Chromium is not installed.
# Usage: browser_test.sh PIXWALL_HOST PIXWALL_SO OUTPUT_FOLDER [CORVANE TALISCOM_SO TALISCOM_REGISTER]
set -uo pipefail
host_program=$1 module=$2 out=$3 corvane=${4:-} taliscom=${5:-} register=${6:-}
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
admin_pid=
rollout_pid=
socket=
cleanup() {
  kill "$host_pid" $admin_pid $rollout_pid 2>/dev/null && wait "$host_pid" $admin_pid $rollout_pid 2>/dev/null
  [ -n "${socket:-}" ] && tmux -L "$socket" kill-server 2>/dev/null
  rm -rf "${profiles[@]}"
}
trap cleanup EXIT
wait_listening() {  # wait_listening LOG
  for _ in $(seq 1 100); do
    [ "$(grep -c '^listening ' "$1")" -ge 2 ] && return 0
    sleep 0.1
  done
  cat "$1"
  return 1
}
wait_listening "$out/host.log" || { echo "FAIL: the host did not start"; exit 1; }

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

# The images as the protected page shows them, when nothing blocks them.
check_open() {
  expect "$1" logo "shown 200x120"
  expect "$1" photo "shown 240x160"
  expect "$1" chart "shown 220x140"
}
# Fetch Metadata and links allowed, with the null-referrer rule on and no alternates (404).
fetch_metadata() {
  local dir=$out/rollout port foreign_port
  port=$(free_port) && foreign_port=$(free_port "$port") || { echo "FAIL: no free port"; failures=$((failures + 1)); return; }
  mkdir -p "$dir/foreign" "$dir/filter/LogFiles" && cp -r "$out/demo/protected" "$dir/own" && cp "$module" "$dir/filter/"
  printf '[settings]\nblocknullreferrer=yes\nfetchmetadata=yes\nallowlinks=yes\n[logging]\nlogging=on\n' >"$dir/filter/pixwall.ini"
  printf 'gif\njpg\npng\n' >"$dir/filter/blocked_types.txt"
  sed -i 's#<head>#<head><meta name="referrer" content="no-referrer">#' "$dir/own/index.html"
  local image="http://localhost:$port/images/logo.gif"
  cat >"$dir/foreign/index.html" <<EOF
<figure id="logo"><img referrerpolicy="no-referrer" src="$image"></figure><pre id="status"></pre>
<a id="link" rel="noreferrer" href="$image">logo</a><script src="http://localhost:$port/status.js"></script>
<script>if (location.hash == "#follow") addEventListener("load", () => document.getElementById("link").click());</script>
EOF
  "$host_program" --timeout 10 --site "$dir/own" --name localhost --port "$port" --filter "$dir/filter/pixwall.so" \
    --site "$dir/foreign" --name 127.0.0.1 --port "$foreign_port" >"$out/rollout-host.log" 2>&1 &
  rollout_pid=$!
  wait_listening "$out/rollout-host.log" || { echo "FAIL: the host did not start"; failures=$((failures + 1)); return; }
  browse "http://127.0.0.1:$foreign_port/" rollout-foreign && expect rollout-foreign logo broken
  browse "http://localhost:$port/" rollout-own && check_open rollout-own
  browse "http://127.0.0.1:$foreign_port/#follow" rollout-link
  grep -qF "<title>logo.gif (200" "$out/rollout-link.html" || { echo "FAIL: the followed link shows no image"; failures=$((failures + 1)); }
  # The null-referrer rule alone would block it too: the line says Fetch Metadata did.
  grep -qF " : Blocking /images/logo.gif : Sec-Fetch-Site is cross-site for 127.0.0.1" "$dir/filter/LogFiles/pixwall.log" ||
    { echo "FAIL: the embed was not blocked by Fetch Metadata"; failures=$((failures + 1)); }
}
fetch_metadata

admin_path() {
  # The administrator is the superuser; a user namespace makes one where the tests run as another.
  local as_root=()
  if [ "$(id -u)" -ne 0 ]; then
    unshare -r true 2>/dev/null || { echo "skipped the administrator's path: neither root nor user namespaces"; return; }
    as_root=(unshare -r)
  fi
  command -v tmux >/dev/null || { echo "skipped the administrator's path: tmux is missing"; return; }
  local home=$out/admin
  export PIXWALL_HOME=$home PIXWALL_REGISTRY=$home/registry.reg PIXWALL_METABASE=$home/metabase.txt
  local protected_port foreign_port
  protected_port=$(free_port) && foreign_port=$(free_port "$protected_port") || { echo "FAIL: no free port"; failures=$((failures + 1)); return; }
  "$here/../../host/demo/stage.sh" "$home" "$module" "$protected_port" "$foreign_port" &&
    "$here/../../host/demo/stage_system.sh" "$home" "$protected_port" "$foreign_port" "$taliscom" "$register" ||
    { echo "FAIL: staging the administrator's machine"; failures=$((failures + 1)); return; }
  "$host_program" --timeout 10 --metabase "$PIXWALL_METABASE" >"$out/admin-host.log" 2>&1 &
  admin_pid=$!
  wait_listening "$out/admin-host.log" || { echo "FAIL: the host did not start from the store"; failures=$((failures + 1)); return; }

  local runs=0
  toggle_protected_site() {  # toggle_protected_site MARK_BEFORE MARK_AFTER, then OK
    rm -f "$home/status"
    # One tmux server per run: a new session on a server that is still shutting down fails.
    [ -n "${socket:-}" ] && tmux -L "$socket" kill-server 2>/dev/null
    runs=$((runs + 1))
    socket="browser-test-$$-$runs"
    tmux -L "$socket" new-session -d -x 100 -y 24 \
      "cd '$home/pixwall' && ${as_root[*]} '$corvane'; echo \$? >'$home/status'; sleep 600"
    screen_shows "[$1] Protected Web Site" || return 1
    tmux -L "$socket" send-keys Down Space
    screen_shows "[$2] Protected Web Site" || return 1
    tmux -L "$socket" send-keys Enter
    for _ in $(seq 1 100); do
      [ -s "$home/status" ] && break
      sleep 0.1
    done
    [ "$(cat "$home/status" 2>/dev/null)" = 0 ] || { echo "FAIL: corvane did not end with status 0"; return 1; }
  }
  screen_shows() {
    for _ in $(seq 1 100); do
      tmux -L "$socket" capture-pane -p | grep -qF -- "$1" && return 0
      sleep 0.1
    done
    echo "FAIL: corvane never showed: $1"
    tmux -L "$socket" capture-pane -p
    return 1
  }
  local page="http://127.0.0.1:$foreign_port/"
  browse "$page" admin-before && check_open admin-before
  toggle_protected_site " " x || { failures=$((failures + 1)); return; }
  "$here/../../scripts/iisreset" >/dev/null || { echo "FAIL: iisreset"; failures=$((failures + 1)); return; }
  browse "$page" admin-installed
  expect admin-installed logo "shown 180x90"    # the GIF alternate
  expect admin-installed photo "shown 160x100"  # the default alternate
  expect admin-installed chart "shown 220x140"  # png is no protected type of this filter
  toggle_protected_site x " " || { failures=$((failures + 1)); return; }
  "$here/../../scripts/iisreset" >/dev/null || { echo "FAIL: iisreset"; failures=$((failures + 1)); return; }
  browse "$page" admin-removed && check_open admin-removed
  for shot in admin-before admin-installed admin-removed; do
    [ -s "$out/$shot.png" ] || { echo "FAIL: no screenshot $shot.png"; failures=$((failures + 1)); }
  done
}
if [ -n "$corvane" ]; then admin_path; fi

echo "screenshots: $out/foreign-first.png $out/protected.png $out/foreign.png"
[ "$failures" -eq 0 ] || { echo "browser test: $failures failure(s)"; exit 1; }
echo "browser test passed"
