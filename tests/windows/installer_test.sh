#!/usr/bin/env bash
# The installer run silently under Wine into a folder with a Japanese name, over
# an older installation that kept its data beside the program and whose console
# runs: the console (headless, or with its tray icon) ends, the data moves to ProgramData and the installed
# program finds it there. Installing again or uninstalling ends a running
# console too; a failed step ends the setup with status 2; the uninstaller
# keeps the data, and the share unless /REMOVESHARE asks.
#   installer_test.sh SETUP_EXE PROGRAM WINE_RUN WINE_PREFIX
set -euo pipefail
setup=$1 program=$2 wine_run=$3 prefix=$4
[ -f "$setup" ] || { echo "no $setup: make windows-installer builds it"; exit 1; }

work=$(mktemp -d)
# No blank: wine quotes a word with one, and NSIS takes /D= only unquoted.
inst="$work/Plenvo日本"
winInst="Z:${inst//\//\\}"
data="$prefix/drive_c/ProgramData/Plenvo Backup Manager"
menu="$prefix/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Plenvo Backup Manager"
record='HKLM\SOFTWARE\Plenvo\Backup Manager'
console=

fail() { echo "$*"; exit 1; }
wine_in() { "$wine_run" "$prefix" "$@" >"$work/out" 2>&1 || { cat "$work/out"; return 1; }; }
# The setup's status is the caller's to judge.
install() { "$wine_run" "$prefix" start /wait /unix "$setup" /S "$@" "/D=$winInst" >"$work/out" 2>&1; }
uninstall() {
    # _? keeps the uninstaller in place, so that it ends before this goes on.
    "$wine_run" "$prefix" start /wait /unix "$inst/Uninstall.exe" /S "$@" "_?=$winInst" \
        >"$work/out" 2>&1
}
recorded() { "$wine_run" "$prefix" reg query "$record" /v "$1" >/dev/null 2>&1; }
# What --make-share records once the share is made; Wine's NetShareAdd makes none.
recordShare() {
    wine_in reg add "$record" /v SharedFolder /t REG_SZ \
        /d 'C:\ProgramData\Plenvo Backup Manager\OrvShare' /f
}
rows() { sqlite3 "$data/Mng.mdb" "SELECT count(*) FROM UserLog"; }
result() {
    printf 'ComNM=%s\r\nUserID=u01\r\nUserName=%s\r\nStatus=Idol\r\nUPDT=2026/12/07 9:05:03\r\n' \
        "$2" "$(printf '山田' | iconv -f UTF-8 -t CP932)" >"$1/OrvShare/RST/$2.txt"
}

# The prefix is this test's own and outlives it: what an installation left goes.
forget() {
    "$wine_run" "$prefix" taskkill /f /im PlenvoBackupMng.exe >/dev/null 2>&1 || true
    rm -rf "$data" "$menu"
    "$wine_run" "$prefix" reg delete "$record" /f >/dev/null 2>&1 || true
}
# A screen for the whole prefix (one display a prefix): the tray console's icon.
screens="$(cd "$(dirname "$0")/../.." && pwd)/scripts/xvfb-session"
"$screens" start "$work/screen"
export PLENVO_WINE_XVFB="$work/screen"
trap '[ -z "$console" ] || kill "$console" 2>/dev/null; forget; "$screens" stop "$work/screen"; rm -rf "$work"' EXIT
forget

# The console of the installed program, as the log-on entry starts it. Now
# and then Wine starts no program at all and says nothing: one more start.
startConsole() {
    for _ in 1 2; do
        "$wine_run" "$prefix" "$inst/PlenvoBackupMng.exe" --headless --tick-ms 200 \
            >"$work/console" 2>&1 &
        console=$!
        for _ in $(seq 300); do
            grep -q "running headless" "$work/console" && return 0
            sleep 0.1
        done
        [ ! -s "$work/console" ] || break
        kill "$console" 2>/dev/null || true
    done
    fail "the console did not start: $(cat "$work/console")"
}
# The console with its tray icon, as a user's log-on starts it: running once
# its first pass has written the page again.
startTrayConsole() {
    rm -f "$data/HTM/Index.htm"
    "$wine_run" "$prefix" "$inst/PlenvoBackupMng.exe" --tick-ms 200 >"$work/console" 2>&1 &
    console=$!
    for _ in $(seq 300); do
        [ -f "$data/HTM/Index.htm" ] && return 0
        kill -0 "$console" 2>/dev/null || break
        sleep 0.1
    done
    fail "the tray console did not start: $(cat "$work/console")"
}
# Ended by the step just done, by its own hand, and no console of this prefix left.
endedBy() {
    for _ in $(seq 100); do kill -0 "$console" 2>/dev/null || break; sleep 0.1; done
    ! kill -0 "$console" 2>/dev/null || fail "$1 left the console running"
    local status=0
    wait "$console" || status=$?
    console=
    [ "$status" = 0 ] || fail "$1 did not end the console cleanly (status $status)"
    for pid in $(pgrep -f 'PlenvoBackupMng\.exe' || true); do
        ! tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$prefix" ||
            fail "$1 left PlenvoBackupMng.exe running ($pid)"
    done
}

# An installation of old: the program with its data beside it, and a row.
wine_in "$program" --install "$winInst"
wine_in "$inst/PlenvoBackupMng.exe" --once
[ -d "$inst/OrvShare/RST" ] || fail "the older installation has no OrvShare tree"
result "$inst" PC01
printf '[Mail]\r\nServer=mail.example.jp\r\n' >"$inst/Mail.ini"
wine_in "$inst/PlenvoBackupMng.exe" --once

startConsole
install /NOSHARE || fail "the upgrade ended with $?: $(cat "$work/out")"
endedBy "the upgrade"
for file in PlenvoBackupMng.exe Uninstall.exe; do
    [ -f "$inst/$file" ] || fail "not installed: $file"
done
for moved in Mng.mdb Mail.ini OrvShare HTM HELP; do
    [ ! -e "$inst/$moved" ] || fail "$moved stayed beside the program"
done
for file in Mng.mdb Mail.ini OrvShare/RST/PC01.txt HTM/Index.htm HTM/img/GRF.bmp HTM/img/run.gif \
    "HELP/Plenvo Backup Manager Help.html"; do
    [ -f "$data/$file" ] || fail "not in the data folder: $file"
done
[ "$(rows)" = 1 ] || fail "the older installation's row did not move along"
[ -f "$menu/Plenvo Backup Manager.lnk" ] || fail "no Start menu entry"
"$wine_run" "$prefix" reg query "$record" /v DataFolder 2>/dev/null |
    grep -qF 'C:\ProgramData\Plenvo Backup Manager' || fail "the data folder is not recorded"

# The installed program, started as a user starts it, works in the data folder.
# Wine's NetShareAdd is a stub, and nothing says the installer made the share
# (/NOSHARE): the console tries and says so.
result "$data" PC02
wine_in "$inst/PlenvoBackupMng.exe" --once
[ "$(rows)" = 2 ] || fail "the installed program did not take the row in from the data folder"
iconv -f CP932 -t UTF-8 "$data/HTM/Index.htm" | grep -q '山田(u01)' || fail "row not on the page"
grep -q 'share: OrvShare\$ could not be made' "$work/out" || fail "no word of the share: $(cat "$work/out")"

# A failed step is told and the setup ends with status 2: the share (Wine's
# NetShareAdd fails), and the data folder (a folder where an image goes).
status=0
install || status=$?
[ "$status" = 2 ] || fail "a share that could not be made ended the setup with $status"
[ -f "$inst/Uninstall.exe" ] || fail "no uninstaller after a failed share"
rm "$data/HTM/img/GRF.bmp" && mkdir "$data/HTM/img/GRF.bmp"
status=0
install /NOSHARE || status=$?
[ "$status" = 2 ] || fail "a data folder that could not be laid out ended the setup with $status"
rmdir "$data/HTM/img/GRF.bmp"
install /NOSHARE || fail "installing after the failures ended with $?"
! recorded SharedFolder || fail "a share that could not be made is recorded"

# Made by the installer, as it records it where it can: a plain user's console leaves it.
recordShare
wine_in "$inst/PlenvoBackupMng.exe" --once
! grep -qE 'share( access)?: ' "$work/out" || fail "the console tried the installer's share: $(cat "$work/out")"

startTrayConsole
install /NOSHARE || fail "installing again ended with $?: $(cat "$work/out")"
endedBy "installing again"
[ "$(rows)" = 2 ] || fail "Mng.mdb not kept"

# Uninstalled silently: the console ends, the program goes, the data and the share stay.
recorded SharedFolder || fail "the record of the share went before the uninstaller ran"
startConsole
uninstall || fail "the uninstaller ended with $?: $(cat "$work/out")"
endedBy "the uninstaller"
[ ! -f "$inst/PlenvoBackupMng.exe" ] || fail "program left behind"
[ ! -d "$menu" ] || fail "Start menu entry left behind"
[ ! -d "$data/HELP" ] && [ ! -d "$data/HTM/img" ] || fail "help or page images left behind"
[ "$(rows)" = 2 ] && [ -f "$data/Mail.ini" ] && [ -d "$data/OrvShare/RST" ] ||
    fail "the database, the settings or the share's folder went"
recorded SharedFolder || fail "a silent uninstaller took the share away"

# Asked to, it takes the share away as well.
install /NOSHARE || fail "installing once more ended with $?"
recordShare
uninstall /REMOVESHARE || fail "the uninstaller with /REMOVESHARE ended with $?: $(cat "$work/out")"
! recorded SharedFolder || fail "/REMOVESHARE left the share"
[ "$(rows)" = 2 ] || fail "/REMOVESHARE took the data"
echo "upgraded an older installation, ran from the data folder, failed as told and uninstalled"
