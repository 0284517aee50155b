#!/usr/bin/env bash
# The Windows program left to run headless under Wine: its ticks take an
# agent's result file in and write the page, its lines reach their file as
# they are told; a second start for the same
# folder, spelled in other letter case, finds it running and goes.
#   headless_test.sh WINDOWS_PROGRAM WINE_RUN WINE_PREFIX
set -euo pipefail
program=$1 wine_run=$2 prefix=$3

work=$(mktemp -d)
console=
stopConsole() {
    [ -n "$console" ] || return 0
    "$wine_run" "$prefix" taskkill /f /im PlenvoBackupMng.exe >/dev/null 2>&1 || true
    for _ in $(seq 50); do kill -0 "$console" 2>/dev/null || break; sleep 0.1; done
    kill "$console" 2>/dev/null || true
    console=
}
trap 'stopConsole; rm -rf "$work"' EXIT
inst="$work/inst 日本"
winInst="Z:${inst//\//\\}"
fail() { echo "$*"; cat "$work/err" 2>/dev/null; exit 1; }
waitQuietly() {
    for _ in $(seq 300); do eval "$1" && return 0; sleep 0.1; done
    return 1
}
waitFor() { waitQuietly "$1" || fail "waited in vain for: $1"; }
startConsole() {
    "$wine_run" "$prefix" "$inst/PlenvoBackupMng.exe" --headless --tick-ms 100 >/dev/null \
        2>"$work/err" &
    console=$!
}

"$wine_run" "$prefix" "$program" --install "$winInst" >/dev/null 2>&1 || fail "install failed"
startConsole
# Now and then Wine does not start a program at all, and says nothing. A
# console that said nothing either gets one more start; a second silence fails.
if ! waitQuietly '[ -d "$inst/OrvShare/RST" ]'; then
    [ ! -s "$work/err" ] || fail "the console did not make its folders"
    echo "the console did not start in 30 s: starting it again"
    stopConsole
    startConsole
    waitFor '[ -d "$inst/OrvShare/RST" ]'
fi

printf 'ComNM=PC01\r\nUserID=u01\r\nUserName=%s\r\nStatus=Idol\r\nUPDT=2026/12/07 9:05:03\r\n' \
    "$(printf '山田' | iconv -f UTF-8 -t CP932)" > "$inst/OrvShare/RST/PC01.txt"
waitFor '[ -f "$inst/HTM/Index.htm" ] && iconv -f CP932 -t UTF-8 "$inst/HTM/Index.htm" | grep -q "山田(u01)"'

# A medium's request is told in a line at once, not when the program ends.
printf '4711&8GB&u01&x\r\n' > "$inst/OrvShare/REM/ADD"
waitFor 'grep -q 4711 "$work/err"'

status=0
second=$("$wine_run" "$prefix" "$program" --once --base "${winInst^^}" 2>&1 >/dev/null) || status=$?
[ "$status" = 3 ] || fail "a second start ended with status $status, not 3: $second"
grep -q "already running" <<<"$second" || fail "a second start ran beside the first: $second"
kill -0 "$console" 2>/dev/null || fail "the console ended by itself"
echo "ran headless and took the file in"
