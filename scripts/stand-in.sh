# Sourced by the Linux scripts: the one place of the Linux stand-ins for what Windows keeps
# itself, so that pixwall-host, taliscom.so and corvane agree without variables exported by hand.
#
#   $PIXWALL_HOME/registry.reg   the registry (REGEDIT4 text)         PIXWALL_REGISTRY
#   $PIXWALL_HOME/metabase.txt   the IIS metabase store               PIXWALL_METABASE
#   $PIXWALL_HOME/metabase.txt.pid  pixwall-host's process id and count of loads (iisreset)
#   $PIXWALL_HOME/pixwall/       the install folder: corvane.ini, pixwall.so and its settings
#
# PIXWALL_HOME defaults to the demo's folder, build/linux/demo of the repository. A variable
# already set wins, so a test can point everything elsewhere.
_stand_in_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export PIXWALL_HOME=${PIXWALL_HOME:-$_stand_in_root/build/linux/demo}
export PIXWALL_REGISTRY=${PIXWALL_REGISTRY:-$PIXWALL_HOME/registry.reg}
export PIXWALL_METABASE=${PIXWALL_METABASE:-$PIXWALL_HOME/metabase.txt}
unset _stand_in_root
