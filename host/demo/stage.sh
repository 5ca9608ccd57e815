#!/usr/bin/env bash
# Lays out the demo in a folder, ready for pixwall-host: both sites' document roots and the two
# filter module folders, each with a copy of the filter module beside its settings, rule lists
# and an (existing) LogFiles folder. The demo's files name ports 8080 and 8081; other ports are
# written into the copies.
# Usage: host/demo/stage.sh OUTPUT_FOLDER PIXWALL_SO [PROTECTED_PORT [FOREIGN_PORT]]
set -euo pipefail
[ $# -ge 2 ] || { echo "usage: $0 OUTPUT_FOLDER PIXWALL_SO [PROTECTED_PORT [FOREIGN_PORT]]" >&2; exit 2; }
out=$1 module=$2 protected_port=${3:-8080} foreign_port=${4:-8081}
demo=$(cd "$(dirname "$0")" && pwd)

mkdir -p "$out"
for part in protected foreign pixwall pixwall-404; do
  rm -rf "${out:?}/$part.new"
  cp -r "$demo/$part" "$out/$part.new"
  find "$out/$part.new" -type f \( -name '*.html' -o -name '*.ini' \) -exec sed -i \
    -e "s#localhost:8080#localhost:${protected_port}#g" \
    -e "s#127\.0\.0\.1:8081#127.0.0.1:${foreign_port}#g" {} +
  # Earlier logs stay: only the configuration and the pages are laid anew.
  if [ -d "$out/$part/LogFiles" ]; then mv "$out/$part/LogFiles" "$out/$part.new/"; fi
  rm -rf "${out:?}/$part"
  mv "$out/$part.new" "$out/$part"
done
for part in pixwall pixwall-404; do
  cp "$module" "$out/$part/pixwall.so"
  mkdir -p "$out/$part/LogFiles"
done
