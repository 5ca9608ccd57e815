#!/usr/bin/env bash
# Builds the Debian packages from a copy of the checkout in a temporary folder (dpkg-buildpackage
# writes them into the copy's parent, so nothing lands beside the checkout) and checks them
# without touching the machine's nginx: their files and control fields, lintian, and the two
# packages unpacked into a folder and served by an nginx with its own prefix, which must refuse a
# hot-link. Prints one "ok: CHECK" or "FAIL: CHECK" line per check; scripts/test.sh counts them.
# Usage: scripts/package-test.sh
set -uo pipefail
checkout=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
nginx_pid=""
cleanup() {
  if [ -n "$nginx_pid" ]; then
    kill "$nginx_pid" 2>/dev/null
    wait "$nginx_pid" 2>/dev/null
  fi
  rm -rf "$work"
}
trap cleanup EXIT

failures=0
report() {  # CHECK OUTPUT_FILE; the check's status is the caller's last one
  local status=$? name=$1 output=$2
  if [ "$status" -eq 0 ]; then
    echo "ok: package $name"
  else
    failures=$((failures + 1))
    echo "FAIL: package $name"
    tail -n 40 "$output"
  fi
}

# The checkout's files as they are now (committed or not), without build trees or .git.
mkdir "$work/pixwall"
if git -C "$checkout" rev-parse --git-dir >/dev/null 2>&1; then
  (cd "$checkout" && git ls-files -co --exclude-standard -z | tar --null -T - -cf -) |
    tar -C "$work/pixwall" -xf -
else
  tar -C "$checkout" --exclude='./build' --exclude='./build-*' -cf - . | tar -C "$work/pixwall" -xf -
fi

started=$(date +%s)
# No tests (scripts/test.sh runs them) and no debug symbol packages: only the packages are wanted.
(cd "$work/pixwall" && DEB_BUILD_OPTIONS="nocheck noautodbgsym parallel=2" \
  dpkg-buildpackage -b -us -uc) >"$work/build.log" 2>&1
report "build ($(($(date +%s) - started)) s)" "$work/build.log"
[ "$failures" -eq 0 ] || exit 1
module_deb=$(echo "$work"/libnginx-mod-http-pixwall_*.deb)
filter_deb=$(echo "$work"/pixwall_*.deb)

# Files and control fields: the module where nginx looks, enabled as Debian's modules are, bound
# to the ABI of the nginx it was built against; the filter's settings as conffiles, no binary
# among them (nginx loads the filter through the link in /etc/pixwall).
check_files() {
  local abi version
  abi=$(sed -n 's/^nginx:abi=//p' /usr/share/nginx/src/debian/libnginx-mod.abisubstvars)
  version=$(dpkg-deb -f "$filter_deb" Version)
  dpkg-deb -c "$module_deb" >"$work/module.list"
  dpkg-deb -c "$filter_deb" >"$work/filter.list"
  dpkg-deb -e "$module_deb" "$work/module.control"
  dpkg-deb -e "$filter_deb" "$work/filter.control"
  local -a wanted=(
    "module.list:./usr/lib/nginx/modules/ngx_http_pixwall_module.so"
    "module.list:./usr/share/nginx/modules-available/mod-http-pixwall.conf"
    "filter.list:./usr/lib/pixwall/pixwall.so"
    "filter.list:./etc/pixwall/pixwall.so -> /usr/lib/pixwall/pixwall.so"
    "filter.list:./usr/bin/pixwall-report"
    "filter.list:./usr/share/man/man1/pixwall-report.1.gz"
    "filter.list:./usr/share/doc/pixwall/README.Debian"
    "filter.list:./var/log/pixwall/"
    "filter.list:./etc/logrotate.d/pixwall")
  local entry ok=0
  for entry in "${wanted[@]}"; do
    grep -qF -- " ${entry#*:}" "$work/${entry%%:*}" || { echo "missing: $entry"; ok=1; }
  done
  local depends
  depends=$(dpkg-deb -f "$module_deb" Depends)
  for entry in "$abi" "pixwall (= $version)"; do
    grep -qF -- "$entry" <<<"$depends" || { echo "Depends lacks $entry: $depends"; ok=1; }
  done
  grep -q "50-mod-http-pixwall.conf" "$work/module.control/postinst" ||
    { echo "the module's postinst does not enable it"; ok=1; }
  local conffiles
  conffiles=$(sort "$work/filter.control/conffiles" | tr '\n' ' ')
  local expected="/etc/logrotate.d/pixwall"
  for entry in blocked_types client_blacklist client_whitelist corvane.ini pixwall.ini \
               referrer_blacklist referrer_whitelist ua_blacklist ua_whitelist \
               url_blacklist url_whitelist; do
    case $entry in *.ini) ;; *) entry=$entry.txt ;; esac
    expected+=" /etc/pixwall/$entry"
  done
  [ "$conffiles" = "$expected " ] || { echo "conffiles: $conffiles"; echo "wanted:    $expected"; ok=1; }
  grep -qx 'load_module modules/ngx_http_pixwall_module.so;' \
    <(dpkg-deb --fsys-tarfile "$module_deb" |
      tar -xOf - ./usr/share/nginx/modules-available/mod-http-pixwall.conf) ||
    { echo "unexpected load_module snippet"; ok=1; }
  return $ok
}
check_files >"$work/files.log" 2>&1
report "files and control fields" "$work/files.log"

lintian --fail-on error "$module_deb" "$filter_deb" >"$work/lintian.log" 2>&1
report lintian "$work/lintian.log"

# The unpacked packages served by an nginx of their own: the packaged load_module snippet
# (relative to the prefix, whose modules folder is the tree's) and "pixwall_filter" pointing at
# the tree's /etc/pixwall, whose pixwall.ini is told to log into the tree. The log written there
# shows that the filter took its settings from the folder of the link it was loaded through.
check_hotlink() {
  local tree=$work/tree prefix=$work/nginx site=$work/site
  dpkg-deb -x "$module_deb" "$tree" && dpkg-deb -x "$filter_deb" "$tree" || return 1
  sed -i "s#^logfolder=.*#logfolder=$tree/var/log/pixwall#" "$tree/etc/pixwall/pixwall.ini"
  # The packaged link is absolute (/usr/lib/pixwall/pixwall.so): the same link into the tree.
  ln -sfn "$tree/usr/lib/pixwall/pixwall.so" "$tree/etc/pixwall/pixwall.so"
  mkdir -p "$prefix/tmp" "$site"
  ln -s "$tree/usr/lib/nginx/modules" "$prefix/modules"
  printf 'GIF89a' >"$site/a.gif"
  local port
  # A loopback port nobody listens on now.
  for port in $(shuf -i 20000-60999 -n 20); do
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null || break
  done
  local user=""
  [ "$(id -u)" -ne 0 ] || user="user root;"
  cat >"$prefix/nginx.conf" <<CONF
include $tree/usr/share/nginx/modules-available/mod-http-pixwall.conf;
worker_processes 1;
daemon off;
$user
pid $prefix/nginx.pid;
error_log $prefix/error.log notice;
events { worker_connections 64; }
http {
    access_log off;
    client_body_temp_path $prefix/tmp;
    proxy_temp_path $prefix/tmp;
    fastcgi_temp_path $prefix/tmp;
    uwsgi_temp_path $prefix/tmp;
    scgi_temp_path $prefix/tmp;
    server {
        listen 127.0.0.1:$port;
        server_name localhost;
        root $site;
        pixwall_filter $tree/etc/pixwall/pixwall.so;
    }
}
CONF
  /usr/sbin/nginx -p "$prefix" -c "$prefix/nginx.conf" -e "$prefix/error.log" &
  nginx_pid=$!
  local url=http://localhost:$port/a.gif own="" foreign="" tries
  for tries in $(seq 50); do
    own=$(curl -s -o /dev/null -w '%{http_code}' -e "http://localhost:$port/" "$url") &&
      [ "$own" != 000 ] && break
    sleep 0.2
  done
  foreign=$(curl -s -o /dev/null -w '%{http_code}' -e "http://hotlinker.example/page.html" "$url")
  echo "own page's image: $own, hot-link: $foreign"
  cat "$prefix/error.log"
  cat "$tree/var/log/pixwall/pixwall.log"
  [ "$own" = 200 ] && [ "$foreign" = 404 ] &&
    grep -q "Blocking /a.gif" "$tree/var/log/pixwall/pixwall.log"
}
check_hotlink >"$work/hotlink.log" 2>&1
report "hot-link refused by the unpacked packages in nginx" "$work/hotlink.log"

[ "$failures" -eq 0 ]
