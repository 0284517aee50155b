#!/usr/bin/env bash
# The installer run silently under Wine into a folder with a Japanese name: the
# installed program runs once from there; a second install keeps Mng.mdb; the
# uninstaller takes the program away and leaves the database and the share.
#   installer_test.sh SETUP_EXE WINE_RUN WINE_PREFIX
set -euo pipefail
setup=$1 wine_run=$2 prefix=$3
[ -f "$setup" ] || { echo "no $setup: make windows-installer builds it"; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# No blank: wine quotes a word with one, and NSIS takes /D= only unquoted.
inst="$work/Plenvo日本"
winInst="Z:${inst//\//\\}"
fail() { echo "$*"; exit 1; }
wine_in() { "$wine_run" "$prefix" "$@" >"$work/out" 2>&1 || { cat "$work/out"; return 1; }; }

# A windowed program: wine returns before it ends unless started to be waited for.
install() { wine_in start /wait /unix "$setup" /S "/D=$winInst"; }
# NSIS takes the folder as the last word, unquoted.
install
for file in PlenvoBackupMng.exe Mng.mdb Uninstall.exe HTM/img/GRF.bmp HTM/img/run.gif \
    "HELP/Plenvo Backup Manager Help.html"; do
    [ -f "$inst/$file" ] || fail "not installed: $file"
done
menu="$prefix/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Plenvo Backup Manager"
[ -f "$menu/Plenvo Backup Manager.lnk" ] || fail "no Start menu entry"

# The installed program, once: its tree, then an agent's result on the page.
wine_in "$inst/PlenvoBackupMng.exe" --once
[ -d "$inst/OrvShare/RST" ] || fail "no OrvShare tree"
printf 'ComNM=PC01\r\nUserID=u01\r\nUserName=%s\r\nStatus=Idol\r\nUPDT=2026/12/07 9:05:03\r\n' \
    "$(printf '山田' | iconv -f UTF-8 -t CP932)" > "$inst/OrvShare/RST/PC01.txt"
wine_in "$inst/PlenvoBackupMng.exe" --once
[ "$(sqlite3 "$inst/Mng.mdb" "SELECT UserName FROM UserLog")" = 山田 ] || fail "row not taken in"
iconv -f CP932 -t UTF-8 "$inst/HTM/Index.htm" | grep -q '山田(u01)' || fail "row not on the page"

# Installed again over it: the database and its rows stay.
install
[ "$(sqlite3 "$inst/Mng.mdb" "SELECT count(*) FROM UserLog")" = 1 ] || fail "Mng.mdb not kept"

# _? keeps the uninstaller in place, so that it ends before this goes on.
wine_in start /wait /unix "$inst/Uninstall.exe" /S "_?=$winInst"
[ ! -f "$inst/PlenvoBackupMng.exe" ] || fail "program left behind"
[ ! -d "$inst/HELP" ] || fail "help left behind"
[ ! -d "$menu" ] || fail "Start menu entry left behind"
[ -f "$inst/Mng.mdb" ] && [ -d "$inst/OrvShare/RST" ] || fail "the database or the share went"
echo "installed, ran, kept and uninstalled"
