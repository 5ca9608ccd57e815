#!/usr/bin/env bash
# Host-level benchmark: wrk on loopback, 64 connections, one small image (the demo's logo.gif).
#   pixwall-host: no filter; through the Pixwall filter allowed by the referrer rules; blocked
#                 with a redirect to the alternate; the filter cases with logging off and on.
#   nginx:        no referrer check; valid_referers allowing the own site; redirecting others
#                 to the same alternate; the Pixwall module (pixwall_filter) with the same filter
#                 allowing and redirecting; with logging off and on (nginx's access log, and for
#                 the module the filter's log as well).
# The figures that matter: the filter's cost relative to its own host, next to the referer
# module's cost relative to nginx; and nginx with the Pixwall module against nginx with
# valid_referers. Installs wrk and nginx when missing; builds preset linux.
# Single runs of a few seconds differ by several per cent from one to the next on a small machine,
# more than the difference between the two nginx set-ups; so the module and valid_referers, logging
# off, are also compared in ROUNDS rounds (default 5) that alternate them, and the median of the
# rounds' ratios is printed. So is the module with the filter's log on against the same module with
# it off (nginx's access log off in both), for the log's own cost.
# Usage: bench/host_bench.sh [SECONDS_PER_CASE]   (default 10); ROUNDS_ONLY=1 skips the single runs.
set -euo pipefail
cd "$(dirname "$0")/.."
duration=${1:-10}
connections=64
wrk_threads=2

scripts/setup.sh wrk nginx
[ -f build/linux/build.ninja ] || cmake --preset linux >/dev/null
cmake --build --preset linux --target pixwall-host pixwall pixwall_nginx_module -j 2 >/dev/null

work=$(pwd)/build/linux/bench/host
rm -rf "$work" && mkdir -p "$work/tmp"
root=$work/site
mkdir -p "$root/images" "$root/alternates"
cp host/demo/protected/images/logo.gif "$root/images/"
cp host/demo/protected/alternates/hotlink.gif "$root/alternates/"
image=/images/logo.gif
alternate=http://localhost/alternates/hotlink.gif

# Two filter module folders alike but for logging.
for logging in off on; do
  module=$work/filter-$logging
  mkdir -p "$module/LogFiles"
  cp build/linux/filter/pixwall.so "$module/"
  printf '[settings]\nfiltername=Pixwall\n' >"$module/corvane.ini"
  printf 'gif\njpg\npng\n' >"$module/blocked_types.txt"
  printf 'leech\n' >"$module/referrer_blacklist.txt"
  cat >"$module/pixwall.ini" <<INI
[settings]
timetolive=600
[DynamicAuthorization]
DynamicAuthorization=on
usecookie=yes
[logging]
logging=$logging
[alternates]
gif=$alternate
INI
done

pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
}
trap cleanup EXIT

wait_for_port() {
  for _ in $(seq 1 100); do
    (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null && return 0
    sleep 0.1
  done
  echo "nothing listens on port $1" >&2
  return 1
}

# Ports: a block of seven, checked to be free.
base=$((12000 + RANDOM % 18000))  # below the ephemeral ports wrk uses
for p in $(seq "$base" $((base + 6))); do
  if (exec 3<>"/dev/tcp/127.0.0.1/$p") 2>/dev/null; then echo "port $p is taken; run again" >&2; exit 1; fi
done
host_plain=$base host_off=$((base + 1)) host_on=$((base + 2))
nginx_plain=$((base + 3)) nginx_referer=$((base + 4)) nginx_pixwall=$((base + 5))
nginx_pixwall_log=$((base + 6))

# start_nginx LOGGING: nginx with its three servers, its access log and the filter's log on or off.
start_nginx() {
  local log_setting=off
  [ "$1" = off ] || log_setting="$work/access.log"
  sed -e "s#@DIR@#$work#g" -e "s#@ROOT@#$root#g" -e "s#@PLAIN_PORT@#$nginx_plain#g" \
      -e "s#@REFERER_PORT@#$nginx_referer#g" -e "s#@ACCESS_LOG@#$log_setting#g" \
      -e "s#@PIXWALL_PORT@#$nginx_pixwall#g" -e "s#@FILTER@#$work/filter-$1/pixwall.so#g" \
      -e "s#@PIXWALL_LOG_PORT@#$nginx_pixwall_log#g" -e "s#@FILTER_ON@#$work/filter-on/pixwall.so#g" \
      -e "s#@MODULE@#$(pwd)/build/linux/nginx/ngx_http_pixwall_module.so#g" \
      bench/nginx.conf >"$work/nginx.conf"
  nginx -p "$work" -c "$work/nginx.conf" -e "$work/error.log" &
  pids+=($!)
  wait_for_port "$nginx_plain"
  wait_for_port "$nginx_referer"
  wait_for_port "$nginx_pixwall"
  wait_for_port "$nginx_pixwall_log"
}

results=$work/results.md
{
  echo "| server | case | logging | requests/s | p50 | p75 | p90 | p99 | non-2xx/3xx |"
  echo "|---|---|---|---:|---:|---:|---:|---:|---:|"
} >"$results"

if [ -z "${ROUNDS_ONLY:-}" ]; then
build/linux/host/pixwall-host --threads 2 \
  --site "$root" --name localhost --port "$host_plain" \
  --site "$root" --name localhost --port "$host_off" --filter "$work/filter-off/pixwall.so" \
  --site "$root" --name localhost --port "$host_on" --filter "$work/filter-on/pixwall.so" \
  >"$work/host.log" 2>&1 &
pids+=($!)
for p in "$host_plain" "$host_off" "$host_on"; do wait_for_port "$p"; done
fi

# run SERVER CASE LOGGING PORT REFERER EXPECTED_STATUS
run() {
  local server=$1 name=$2 logging=$3 port=$4 referer=$5 expected=$6
  local url="http://127.0.0.1:$port$image" status out
  status=$(curl -s -o /dev/null -w '%{http_code}' -H "Host: localhost" ${referer:+-H "Referer: $referer"} "$url")
  if [ "$status" != "$expected" ]; then
    echo "$server $name: expected status $expected, got $status" >&2
    exit 1
  fi
  local headers=(-H "Host: localhost")
  [ -z "$referer" ] || headers+=(-H "Referer: $referer")
  out=$(wrk -t "$wrk_threads" -c "$connections" -d "${duration}s" --latency "${headers[@]}" "$url")
  echo "$out" >"$work/wrk-$server-$name-$logging.txt"
  local rps p50 p75 p90 p99 bad
  rps=$(awk '/^Requests\/sec:/ {print $2}' <<<"$out")
  p50=$(awk '$1 == "50%" {print $2}' <<<"$out")
  p75=$(awk '$1 == "75%" {print $2}' <<<"$out")
  p90=$(awk '$1 == "90%" {print $2}' <<<"$out")
  p99=$(awk '$1 == "99%" {print $2}' <<<"$out")
  bad=$(awk '/Non-2xx or 3xx responses:/ {print $NF}' <<<"$out")
  echo "| $server | $name | $logging | $rps | $p50 | $p75 | $p90 | $p99 | ${bad:-0} |" | tee -a "$results"
}

echo "wrk: ${duration}s per case, $connections connections, $wrk_threads threads, loopback"
if [ -z "${ROUNDS_ONLY:-}" ]; then
run pixwall-host "no filter" "-" "$host_plain" "" 200
run pixwall-host "allowed (referrer of own site)" off "$host_off" "http://localhost/index.html" 200
run pixwall-host "blocked, redirect" off "$host_off" "http://leech.example/page.html" 302
run pixwall-host "allowed (referrer of own site)" on "$host_on" "http://localhost/index.html" 200
run pixwall-host "blocked, redirect" on "$host_on" "http://leech.example/page.html" 302
cleanup
pids=()

for access_log in off on; do
  start_nginx "$access_log"
  run nginx "no referrer check" "$access_log" "$nginx_plain" "" 200
  run nginx "allowed (valid_referers)" "$access_log" "$nginx_referer" "http://localhost/index.html" 200
  run nginx "blocked, redirect" "$access_log" "$nginx_referer" "http://leech.example/page.html" 302
  run nginx+pixwall "allowed (referrer of own site)" "$access_log" "$nginx_pixwall" "http://localhost/index.html" 200
  run nginx+pixwall "blocked, redirect" "$access_log" "$nginx_pixwall" "http://leech.example/page.html" 302
  cleanup
  pids=()
done
fi

# rps PORT REFERER: requests per second of one wrk run.
rps() {
  local headers=(-H "Host: localhost" -H "Referer: $2")
  wrk -t "$wrk_threads" -c "$connections" -d "${duration}s" "${headers[@]}" \
    "http://127.0.0.1:$1$image" | awk '/^Requests\/sec:/ {print $2}'
}

median() { sort -g | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

rounds=${ROUNDS:-5}
# compare LABEL PORT_A NAME_A PORT_B NAME_B: the median over the rounds of A's rate over B's.
compare() {
  local label=$1 port_a=$2 name_a=$3 port_b=$4 name_b=$5 name referer round a b ratio ratios
  echo
  echo "$label, $rounds rounds of ${duration}s each:"
  for name in allowed redirect; do
    referer=http://localhost/index.html
    [ "$name" = allowed ] || referer=http://leech.example/page.html
    ratios=()
    for round in $(seq 1 "$rounds"); do
      # The order alternates, so that a drift of the machine weighs on both alike.
      if [ $((round % 2)) -eq 1 ]; then
        a=$(rps "$port_a" "$referer") b=$(rps "$port_b" "$referer")
      else
        b=$(rps "$port_b" "$referer") a=$(rps "$port_a" "$referer")
      fi
      ratio=$(awk -v a="$a" -v b="$b" 'BEGIN {printf "%.3f", a / b}')
      ratios+=("$ratio")
      echo "  $name, round $round: $name_a $a/s, $name_b $b/s, ratio $ratio"
    done
    echo "  $label, $name: median ratio $(printf '%s\n' "${ratios[@]}" | median)" \
      "(range $(printf '%s\n' "${ratios[@]}" | sort -g | sed -n '1p;$p' | paste -sd-))" |
      tee -a "$results.rounds"
  done
}

start_nginx off
echo "load: $(uptime)"
compare "nginx+pixwall / nginx with valid_referers, logging off" \
  "$nginx_pixwall" module "$nginx_referer" valid_referers
compare "nginx+pixwall, the filter's log on / off" \
  "$nginx_pixwall_log" "log on" "$nginx_pixwall" "log off"
echo "load: $(uptime)"
cleanup
pids=()

echo
echo "Results (also in $results):"
cat "$results"
[ ! -f "$results.rounds" ] || cat "$results.rounds"
