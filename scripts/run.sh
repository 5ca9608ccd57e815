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

# The install folder is the filter's folder: "corvane.ini" names the module by its full path,
# which the manager hands to the component and the web server later loads.
cat >"$demo/pixwall/corvane.ini" <<INI
; Primary configuration of the manager program (corvane): the filter's name in the metabase,
; its module and its description. The filter itself reads the [DynamicAuthorization] section of
; pixwall.ini only when this file exists.
[settings]
filtername=Pixwall
filterpath=$demo/pixwall/pixwall.so
filterdesc=Pixwall hot-link protection (demo)
INI

# The registry: the install folder, and the component registered as regsvr32 would.
cat >"$PIXWALL_REGISTRY" <<REG
REGEDIT4

[HKEY_LOCAL_MACHINE\\software\\orlentek\\pixwall]
"install_dir"="$demo/pixwall"

[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\W3SVC\\Parameters]
"MajorVersion"=dword:00000006
REG
build/linux/taliscom/taliscom-register "$PWD/build/linux/taliscom/taliscom.so" >/dev/null

# The manager program, started in the install folder with these stand-ins.
cat >"$demo/corvane" <<WRAPPER
#!/usr/bin/env bash
# corvane in the demo's install folder, with the stand-ins of scripts/stand-in.sh.
. "$PWD/scripts/stand-in.sh"
[ -x "$PWD/build/linux/manager/corvane" ] || { echo "corvane is not built (cmake --build --preset linux --target corvane)" >&2; exit 1; }
cd "\$PIXWALL_HOME/pixwall" && exec "$PWD/build/linux/manager/corvane" "\$@"
WRAPPER
chmod +x "$demo/corvane"

# The metabase: the two sites, without any filter, as an administrator finds a fresh IIS. Kept
# across runs (the filters installed stay) unless the ports change; delete it to start over.
if ! grep -qs "\"127.0.0.1:${protected_port}:localhost\"" "$PIXWALL_METABASE" ||
   ! grep -qs "\"127.0.0.1:${foreign_port}:\"" "$PIXWALL_METABASE"; then
  # 1002 KeyType, 1015 ServerComment, 1023 ServerBindings, 3001 Path (of the ROOT key). The
  # store takes no comments but its own first line.
  cat >"$PIXWALL_METABASE" <<STORE
; Stand-in IIS metabase of pixwall/taliscom: [key path], then "identifier TYPE value" lines.

[/LM/W3SVC]

[/LM/W3SVC/1]
1002 STRING "IIsWebServer"
1015 STRING "Protected Web Site"
1023 MULTISZ "127.0.0.1:${protected_port}:localhost"

[/LM/W3SVC/1/ROOT]
3001 STRING "$demo/protected"

[/LM/W3SVC/2]
1002 STRING "IIsWebServer"
1015 STRING "Foreign Web Site"
1023 MULTISZ "127.0.0.1:${foreign_port}:"

[/LM/W3SVC/2/ROOT]
3001 STRING "$demo/foreign"
STORE
fi

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
