#!/usr/bin/env bash
# Makes the Linux stand-ins of a machine with IIS for the demo laid out by stage.sh: the install
# folder's "corvane.ini", the registry (the install folder, IIS 6, the component registered as
# regsvr32 would) and the metabase store with the demo's two sites and no filter, where the
# stand-ins of scripts/stand-in.sh are (PIXWALL_REGISTRY, PIXWALL_METABASE).
# Usage: host/demo/stage_system.sh DEMO_FOLDER PROTECTED_PORT FOREIGN_PORT TALISCOM_SO TALISCOM_REGISTER
set -euo pipefail
[ $# -eq 5 ] || { echo "usage: $0 DEMO_FOLDER PROTECTED_PORT FOREIGN_PORT TALISCOM_SO TALISCOM_REGISTER" >&2; exit 2; }
. "$(dirname "$0")/../../scripts/stand-in.sh"
demo=$(cd "$1" && pwd) protected_port=$2 foreign_port=$3 taliscom=$4 register=$5

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
"$register" "$taliscom" >/dev/null

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
