#!/usr/bin/env bash
# Builds the dynamic module against the installed nginx: configures a copy of the source tree
# that nginx-dev ships with the flags Debian's nginx was built with (anything else gives a module
# nginx refuses as "not binary compatible"), then makes the module alone.
# Usage: build_module.sh NGINX_SOURCE WORK_FOLDER OUTPUT_FILE LIBRARY...
set -euo pipefail
source_tree=$1 work=$2 output=$3
shift 3
addon=$(cd "$(dirname "$0")" && pwd)
libs="$* -lstdc++ -ldl -lpthread -Wl,--exclude-libs,ALL"

tree=$work/nginx
# Configuring takes seconds: done again only when the module's build description or the
# libraries change.
stamp="$libs $(cksum <"$addon/config")"
if [ ! -f "$tree/objs/Makefile" ] || [ "$(cat "$work/configured" 2>/dev/null)" != "$stamp" ]; then
  rm -rf "$tree" "$work/configured"
  mkdir -p "$work"
  cp -r "$source_tree" "$tree"
  # shellcheck disable=SC1091
  source "$tree/conf_flags"
  (cd "$tree" && PIXWALL_NGINX_LIBS="$libs" ./configure "${NGX_CONF_FLAGS[@]}" \
    --add-dynamic-module="$addon" >"$work/configure.log" 2>&1) ||
    { cat "$work/configure.log" >&2; exit 1; }
  echo "$stamp" >"$work/configured"
fi
# The libraries are no dependency nginx's makefile knows of: link afresh every time.
rm -f "$tree/objs/ngx_http_pixwall_module.so"
make -C "$tree" -f objs/Makefile modules >"$work/make.log" 2>&1 || { cat "$work/make.log" >&2; exit 1; }
cp "$tree/objs/ngx_http_pixwall_module.so" "$output"
