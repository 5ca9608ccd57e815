#!/usr/bin/env bash
# corvane on Linux end to end: the terminal dialog driven through tmux (lines and marks, greying,
# OK changes the stand-in metabase, Cancel does not), clear mode, and the start-up checks'
# messages, on a terminal and without one.
# Usage: terminal_dialog_test.sh CORVANE TALISCOM_SO TALISCOM_REGISTER PIXWALL_SO
set -uo pipefail
corvane=$1 taliscom=$2 register=$3 pixwall=$4

command -v tmux >/dev/null || { echo "tmux is missing: skipped"; exit 77; }
# The administrator is the superuser; a user namespace makes one where the tests run as another.
as_root=()
if [ "$(id -u)" -ne 0 ]; then
  unshare -r true 2>/dev/null || { echo "neither root nor user namespaces: skipped"; exit 77; }
  as_root=(unshare -r)
fi

work=$(mktemp -d)
# One tmux server per start: a new session on a server that is still shutting down fails.
runs=0
socket="corvane-test-$$-0"
failures=0
cleanup() {
  tmux -L "$socket" kill-server 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# A machine with IIS 4 ("MajorVersion" 4), the component registered, two sites with the filter
# installed at Shop, and the install folder holding "corvane.ini".
make_machine() {
  rm -rf "$work/site" && mkdir -p "$work/site"
  cp "$pixwall" "$work/site/pixwall.so"
  cat >"$work/site/registry.reg" <<EOF
REGEDIT4

[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\W3SVC\\Parameters]
"MajorVersion"=dword:${1:-00000004}

[HKEY_LOCAL_MACHINE\\software\\orlentek\\pixwall]
"install_dir"="$work/site"
EOF
  PIXWALL_REGISTRY="$work/site/registry.reg" "$register" "$taliscom" >/dev/null || fail "registering the component"
  cat >"$work/site/metabase.txt" <<EOF
[/lm/w3svc/1]
1015 STRING "Default Web Site"
[/lm/w3svc/2]
1015 STRING "Shop"
[/lm/w3svc/2/Filters]
1002 STRING "IIsFilters"
2040 STRING "pixwall"
[/lm/w3svc/2/Filters/pixwall]
1002 STRING "IIsFilter"
2041 STRING "$work/site/pixwall.so"
2042 DWORD 1
EOF
  printf '[settings]\nfiltername=pixwall\nfilterpath=%s\nfilterdesc=Hot-link protection\n' \
    "$work/site/pixwall.so" >"$work/site/corvane.ini"
}

environment() {
  echo "PIXWALL_REGISTRY=$work/site/registry.reg PIXWALL_METABASE=$work/site/metabase.txt"
}

# Starts corvane in a fresh tmux window from the folder given; its exit status lands in a file.
start() {
  local folder=$1
  shift
  rm -f "$work/status"
  tmux -L "$socket" kill-server 2>/dev/null
  runs=$((runs + 1))
  socket="corvane-test-$$-$runs"
  tmux -L "$socket" new-session -d -x 100 -y 24 \
    "cd '$folder' && env $(environment) ${as_root[*]} '$corvane' $*; echo \$? >'$work/status'; sleep 600"
}

screen() { tmux -L "$socket" capture-pane -p "$@"; }

# Waits until the screen shows the text (the program draws asynchronously to us).
wait_for() {
  for _ in $(seq 1 100); do
    screen | grep -qF -- "$1" && return 0
    sleep 0.1
  done
  fail "the screen never showed: $1"
  screen
  return 1
}

wait_for_exit() {
  for _ in $(seq 1 100); do
    [ -s "$work/status" ] && { cat "$work/status"; return 0; }
    sleep 0.1
  done
  echo "none"
}

keys() { tmux -L "$socket" send-keys "$@"; }

installed_at() { grep -qxF "[$1/Filters/pixwall]" "$work/site/metabase.txt"; }

# --- The dialog lists the global level and both sites with their marks.
make_machine
start "$work/site"
wait_for "Corvane (Hot-link protection)"
wait_for "Deploy the web extension to checked sites"
wait_for "[ ] Global Setting (All current and future virtual sites)"
wait_for "[ ] Default Web Site"
wait_for "[x] Shop"

# --- Checking the global line greys both site lines (drawn dim) and keeps their marks.
keys Space
wait_for "[x] Global Setting"
dim=$(screen -e | grep -c $'\e\\[2m\\[[ x]\\] \\(Default Web Site\\|Shop\\)')
[ "$dim" -eq 2 ] || fail "expected both site lines dim, found $dim"
wait_for "[x] Shop"
# A greyed line cannot be toggled.
keys Down Space
wait_for "[ ] Default Web Site"

# --- OK installs at the global level and removes the site's filter; the restart notice follows.
keys Enter
wait_for "(Information)"
wait_for "You must restart the IIS web server before the new settings will take effect."
keys Enter
[ "$(wait_for_exit)" = 0 ] || fail "the dialog did not end with status 0 after OK"
installed_at /lm/w3svc || fail "OK did not install the filter at the global level"
installed_at /lm/w3svc/2 && fail "OK left the filter at Shop"

# --- Cancel changes nothing.
make_machine
before=$(cat "$work/site/metabase.txt")
start "$work/site"
wait_for "[x] Shop"
keys Down Space
wait_for "[x] Default Web Site"
keys Escape
[ "$(wait_for_exit)" = 0 ] || fail "Cancel did not end the program"
[ "$before" = "$(cat "$work/site/metabase.txt")" ] || fail "Cancel changed the metabase"

# --- A failing check on a terminal: a framed box with the program's name and the stop icon.
make_machine 00000003
start "$work/site"
wait_for "+- corvane -"
wait_for "(Stop)"
wait_for "This computer does not have Internet Information Services (IIS) installed."
keys Enter
[ "$(wait_for_exit)" = 1 ] || fail "a failed check did not end with status 1"

# --- Without a terminal the start-up messages go to standard error.
run_plain() {  # folder, then arguments
  local folder=$1
  shift
  (cd "$folder" && env PIXWALL_REGISTRY="$work/site/registry.reg" \
    PIXWALL_METABASE="$work/site/metabase.txt" "$@" </dev/null 2>"$work/stderr" >/dev/null)
}
expect_message() {  # name, expected text, command...
  local name=$1 text=$2
  shift 2
  run_plain "$@"
  local status=$?
  [ "$status" -ne 0 ] || fail "$name: exit status 0"
  grep -qF -- "$text" "$work/stderr" || { fail "$name: no message '$text'"; cat "$work/stderr"; }
}
make_machine 00000003
expect_message "MajorVersion 3" "corvane: This computer does not have Internet Information Services (IIS) installed." \
  "$work/site" "${as_root[@]}" "$corvane"
make_machine
if command -v setpriv >/dev/null && [ "$(id -u)" -eq 0 ]; then
  chmod 755 "$work" && chmod -R a+rX "$work"
  expect_message "not an administrator" "You are not logged on as a member of the administrators group." \
    "$work/site" setpriv --reuid=65534 --regid=65534 --clear-groups "$corvane"
fi
expect_message "another working folder" "The primary configuration file was not found in the current working folder." \
  "$work" "${as_root[@]}" "$corvane"
PIXWALL_REGISTRY="$work/site/registry.reg" "$register" /u "$taliscom" >/dev/null
expect_message "unregistered component" "The OrlenTek.FilterManager COM Object is not registered correctly." \
  "$work/site" "${as_root[@]}" "$corvane"
make_machine
expect_message "dialog without a terminal" "needs a terminal" "$work/site" "${as_root[@]}" "$corvane"

# --- Clear mode needs no terminal and removes the filter everywhere.
make_machine
printf '[/lm/w3svc/Filters]\n1002 STRING "IIsFilters"\n2040 STRING "pixwall"\n[/lm/w3svc/Filters/pixwall]\n1002 STRING "IIsFilter"\n2042 DWORD 1\n' \
  >>"$work/site/metabase.txt"
installed_at /lm/w3svc || fail "setting up the global installation"
run_plain "$work/site" "${as_root[@]}" "$corvane" /clear || fail "clear mode ended with a failure"
installed_at /lm/w3svc && fail "clear mode left the global installation"
installed_at /lm/w3svc/2 && fail "clear mode left Shop's installation"
[ -s "$work/stderr" ] && { fail "clear mode wrote to standard error"; cat "$work/stderr"; }

echo "${failures} failures"
[ "$failures" -eq 0 ]
