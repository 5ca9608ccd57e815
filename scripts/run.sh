#!/usr/bin/env bash
# The main job: installs what a fresh Debian machine lacks, builds what is missing, lays out the
# demo in the stand-ins' place (scripts/stand-in.sh: build/linux/demo) and starts pixwall-host,
# which serves the sites of the demo's metabase store: the protected site and a foreign site that
# hot-links its images. The filter is installed with the manager program (corvane) and takes
# effect at scripts/iisreset. Ctrl-C stops the host.
# Usage: scripts/run.sh [PROTECTED_PORT [FOREIGN_PORT]]   (default 8080 and 8081)
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/stand-in.sh
protected_port=${1:-8080}
foreign_port=${2:-8081}

scripts/setup.sh
[ -f build/linux/build.ninja ] || cmake --preset linux >/dev/null
targets=(pixwall-host pixwall pixwall-report taliscom taliscom-register corvane)
cmake --build --preset linux --target "${targets[@]}" -j 2 >/dev/null

demo=$PIXWALL_HOME
host/demo/stage.sh "$demo" build/linux/filter/pixwall.so "$protected_port" "$foreign_port"
demo=$(cd "$demo" && pwd)

host/demo/stage_system.sh "$demo" "$protected_port" "$foreign_port" \
  "$PWD/build/linux/taliscom/taliscom.so" build/linux/taliscom/taliscom-register

# The manager program, started in the install folder with these stand-ins.
cat >"$demo/corvane" <<WRAPPER
#!/usr/bin/env bash
# corvane in the demo's install folder, with the stand-ins of scripts/stand-in.sh.
. "$PWD/scripts/stand-in.sh"
[ -x "$PWD/build/linux/manager/corvane" ] || { echo "corvane is not built (cmake --build --preset linux --target corvane)" >&2; exit 1; }
cd "\$PIXWALL_HOME/pixwall" && exec "$PWD/build/linux/manager/corvane" "\$@"
WRAPPER
chmod +x "$demo/corvane"

cat <<TEXT

Protected site: http://localhost:${protected_port}/   (document root ${demo}/protected)
Foreign site:   http://127.0.0.1:${foreign_port}/   (its page hot-links the protected images)
Stand-ins:      ${PIXWALL_METABASE} (metabase), ${PIXWALL_REGISTRY} (registry),
                ${demo}/pixwall (install folder: corvane.ini, pixwall.so, settings, rule lists)
Protect a site: cd ${demo} && ./corvane ; then scripts/iisreset
Activity log:   ${demo}/pixwall/LogFiles/pixwall.log
The hot-linking report of the log (one HTML page to open in a browser), at any time:
  build/linux/report/pixwall-report --root ${demo}/protected -o ${demo}/report.html \\
    ${demo}/pixwall/LogFiles/pixwall*.log
Stop with Ctrl-C.

TEXT
exec build/linux/host/pixwall-host --metabase "$PIXWALL_METABASE"
