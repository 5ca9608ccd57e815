#!/usr/bin/env bash
# The main job: installs what a fresh Debian machine lacks, builds what is missing, and starts
# pixwall-host with the demo's two sites: the protected site (the Pixwall filter in front of it)
# and a foreign site that hot-links its images. Ctrl-C stops it.
# Usage: scripts/run.sh [PROTECTED_PORT [FOREIGN_PORT]]   (default 8080 and 8081)
set -euo pipefail
cd "$(dirname "$0")/.."
protected_port=${1:-8080}
foreign_port=${2:-8081}

scripts/setup.sh
[ -f build/linux/build.ninja ] || cmake --preset linux >/dev/null
cmake --build --preset linux --target pixwall-host pixwall pixwall-report -j 2 >/dev/null

demo=build/linux/demo
host/demo/stage.sh "$demo" build/linux/filter/pixwall.so "$protected_port" "$foreign_port"

cat <<TEXT

Protected site: http://localhost:${protected_port}/   (document root ${demo}/protected)
Foreign site:   http://127.0.0.1:${foreign_port}/   (its page hot-links the protected images)
Filter settings and rule lists: ${demo}/pixwall and ${demo}/pixwall-404 (edits apply at once)
Activity logs: ${demo}/pixwall/LogFiles/pixwall.log and ${demo}/pixwall-404/LogFiles/pixwall.log
The hot-linking report of these logs (one HTML page to open in a browser), at any time:
  build/linux/report/pixwall-report --root ${demo}/protected -o ${demo}/report.html \\
    ${demo}/pixwall*/LogFiles/pixwall*.log
Stop with Ctrl-C.

TEXT
exec build/linux/host/pixwall-host \
  --site "$demo/protected" --name localhost --port "$protected_port" \
  --filter "$demo/pixwall/pixwall.so" --filter "$demo/pixwall-404/pixwall.so" \
  --site "$demo/foreign" --name 127.0.0.1 --port "$foreign_port"
