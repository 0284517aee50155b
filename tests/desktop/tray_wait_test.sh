#!/usr/bin/env bash
# The tray console started before the desktop's tray, as at a log-on: it
# works meanwhile (a report reaches the page) and shows its icon once a tray
# host appears.
#   tray_wait_test.sh TRAY_PROGRAM XVFB_SESSION_SCRIPT
set -euo pipefail
program=$1 xvfb=$2
work=$(mktemp -d)
console= tray=
finish() {
    [ -z "$console" ] || kill "$console" 2>/dev/null || true
    [ -z "$tray" ] || kill "$tray" 2>/dev/null || true
    "$xvfb" stop "$work/x.state"
    rm -rf "$work"
}
trap finish EXIT
fail() { echo "$*"; cat "$work/err" 2>/dev/null; exit 1; }
waitFor() {
    for _ in $(seq 400); do eval "$1" && return 0; sleep 0.1; done
    fail "waited in vain for: $1"
}

"$xvfb" start "$work/x.state"
export DISPLAY=$("$xvfb" display "$work/x.state")
"$program" --install "$work/inst" >/dev/null
# Its share goes to a usershare folder of its own, not the machine's.
mkdir -p "$work/usershares"
printf '[global]\nusershare path = %s\nusershare max shares = 10\n' "$work/usershares" \
    >"$work/smb.conf"
HOME=$work XDG_CONFIG_HOME=$work/config SMB_CONF_PATH=$work/smb.conf QT_QPA_PLATFORM=xcb \
    "$work/inst/$(basename "$program")" --tick-ms 200 2>"$work/err" &
console=$!
waitFor 'grep -q "no notification area yet" "$work/err"'
# Told before the start-up makes the exchange folders: a report waits for them.
waitFor '[ -d "$work/inst/OrvShare/RST" ]'

printf 'ComNM=PC01\r\nUserID=u01\r\nStatus=Idol\r\n' >"$work/inst/OrvShare/RST/PC01.txt"
waitFor 'grep -q "u01" "$work/inst/HTM/Index.htm" 2>/dev/null'
kill -0 "$console" 2>/dev/null || fail "the console ended without a tray"

trayer --expand true >/dev/null 2>&1 &
tray=$!
waitFor 'grep -q "the tray icon is shown" "$work/err"'
kill -0 "$console" 2>/dev/null || fail "the console ended"
echo "waited for the tray, worked meanwhile, showed its icon"
