#!/usr/bin/env bash
# The demo served by Debian's nginx instead of the stand-in host: the same protected and foreign
# sites, the same two filter modules, loaded by the nginx module. Runs beside scripts/run.sh
# (other ports, its own copy of the demo in build/linux/nginx-demo). Ctrl-C stops it.
# Usage: scripts/nginx-demo.sh [PROTECTED_PORT [FOREIGN_PORT]]   (default 8090 and 8091)
set -euo pipefail
cd "$(dirname "$0")/.."
protected_port=${1:-8090}
foreign_port=${2:-8091}

scripts/setup.sh
[ -f build/linux/build.ninja ] || cmake --preset linux >/dev/null
cmake --build --preset linux --target pixwall pixwall_nginx_module -j 2 >/dev/null

demo=$(pwd)/build/linux/nginx-demo
host/demo/stage.sh "$demo" build/linux/filter/pixwall.so "$protected_port" "$foreign_port"
mkdir -p "$demo/tmp"
# As root, nginx's workers would run as nobody, who may not write the filters' logs here.
user=""
[ "$(id -u)" -ne 0 ] || user="user root;"
cat >"$demo/nginx.conf" <<CONF
load_module $(pwd)/build/linux/nginx/ngx_http_pixwall_module.so;
# The workers share the filter's dynamic admissions.
worker_processes 2;
daemon off;
$user
pid $demo/nginx.pid;
error_log $demo/error.log notice;
events { worker_connections 256; }
http {
    include /etc/nginx/mime.types;
    access_log $demo/access.log;
    client_body_temp_path $demo/tmp;
    proxy_temp_path $demo/tmp;
    fastcgi_temp_path $demo/tmp;
    uwsgi_temp_path $demo/tmp;
    scgi_temp_path $demo/tmp;

    server {
        listen 127.0.0.1:$protected_port;
        server_name localhost;
        root $demo/protected;
        pixwall_filter $demo/pixwall/pixwall.so;
        pixwall_filter $demo/pixwall-404/pixwall.so;
    }
    server {
        listen 127.0.0.1:$foreign_port;
        server_name 127.0.0.1;
        root $demo/foreign;
    }
}
CONF

cat <<TEXT

nginx with the Pixwall module:
Protected site: http://localhost:${protected_port}/   (document root ${demo}/protected)
Foreign site:   http://127.0.0.1:${foreign_port}/   (its page hot-links the protected images)
Configuration: ${demo}/nginx.conf
Filter settings and rule lists: ${demo}/pixwall and ${demo}/pixwall-404 (edits apply at once)
Activity logs: ${demo}/pixwall/LogFiles/pixwall.log and ${demo}/pixwall-404/LogFiles/pixwall.log
Stop with Ctrl-C.

TEXT
exec nginx -p "$demo" -c "$demo/nginx.conf" -e "$demo/error.log"
