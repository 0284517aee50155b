#!/usr/bin/env bash
# The Windows program under Wine and the Linux program, each installed in a
# folder with a Japanese name and run once over the same agents' result files,
# must write the same rows, the same pages and the same log viewers, apart from
# the update time and the base folder.
#   same_output_test.sh LINUX_PROGRAM WINDOWS_PROGRAM WINE_RUN WINE_PREFIX
set -euo pipefail
linux=$1 windows=$2 wine_run=$3 prefix=$4

work=$(mktemp -d)
trap '[ -n "${KEEP:-}" ] || rm -rf "$work"' EXIT
L="$work/linux 日本"
W="$work/windows 日本"
winW="Z:${W//\//\\}"

# The Linux program shares its folder through a Samba configuration of its own.
mkdir -p "$work/home/usershares"
printf '[global]\nusershare path = %s\nusershare max shares = 10\n' "$work/home/usershares" \
    > "$work/home/smb.conf"
export SMB_CONF_PATH=$work/home/smb.conf XDG_CONFIG_HOME=$work/home/config

run_linux() { "$linux" "$@" >/dev/null 2>"$work/linux.err"; }
run_windows() { "$wine_run" "$prefix" "$windows" "$@" >/dev/null 2>"$work/windows.err"; }

run_linux --install "$L"
run_windows --install "$winW"
run_linux --base "$L" --once
run_windows --base "$winW" --once

# Agents of all sorts: Japanese names, codes old and new, a file named in Japanese.
# Each its own report time: rows of one time come in the order the folder lists them.
report() {
    local name=$1 host=$2 user=$3 codes=$4 status=$5 minute=$6
    shift 6
    for base in "$L" "$W"; do
        {
            printf '[バックアップ結果]\r\nComNM=%s\r\nUserID=%s\r\nUserName=利用者%s\r\n' \
                "$host" "$user" "$user"
            printf 'ToBkup=\\\\FILESV\\Backup\\%s\r\nStatus=%s\r\nErNo=%s\r\n' "$host" "$status" "$codes"
            printf 'UPDT=2026/12/07 9:%02d:03\r\nFavSz=1234567\r\nToFavSz=1234000\r\nRSRT=99%%\r\n' "$minute"
            printf 'TLFileQTY=12034\r\nCPFileQTY=120\r\nAgtVer=2.1.0\r\n'
            for line in "$@"; do printf '%s\r\n' "$line"; done
        } | iconv -f UTF-8 -t CP932 > "$base/OrvShare/RST/$name"
    done
}
report "PC01.txt" PC01 u01 "03" Idol 1
report "結果.TXT" 経理PC 山田 "01,14" Run 2 "DmNm=経理"
report "pc03.txt" PC03 u03 "" Err 3 "DiskError=1"
report "PC04.txt" PC04 u04 "99,JUNK,03" Idol 4 "RmtComnm=遠隔"
run_linux --base "$L" --once
run_windows --base "$winW" --once

# What may differ: the update time, the base folder in either spelling.
normal() {
    sed -e 's/UpDate:[0-9/: ]*/UpDate:TIME/' \
        -e "s#$(printf '%s' "$L" | sed 's/[.[\*^$#]/\\&/g')#BASE#g" \
        -e "s#$(printf '%s' "$winW" | sed 's/[.[\*^$#\\]/\\&/g')#BASE#g" "$1"
}
status=0
compare() {
    local relative=$1
    if ! cmp -s <(normal "$L/$relative") <(normal "$W/$relative"); then
        echo "differs: $relative"
        diff <(normal "$L/$relative" | iconv -f CP932 -t UTF-8) \
             <(normal "$W/$relative" | iconv -f CP932 -t UTF-8) | head -20
        status=1
    fi
}
[ -f "$L/HTM/Index.htm" ] || { echo "no page written"; cat "$work/linux.err"; exit 1; }
compare HTM/Index.htm
for viewer in "$L"/HTM/VBS/*; do compare "HTM/VBS/$(basename "$viewer")"; done
[ "$(ls "$L/HTM/VBS" | wc -l)" = "$(ls "$W/HTM/VBS" | wc -l)" ] || { echo "viewers differ"; status=1; }
if [ -f "$L/HTM/DiskChk.htm" ] || [ -f "$W/HTM/DiskChk.htm" ]; then compare HTM/DiskChk.htm; fi

rows() {
    sqlite3 "$1/Mng.mdb" "SELECT * FROM UserLog ORDER BY ComNM, UserID" |
        sed -e "s#$(printf '%s' "$L" | sed 's/[.[\*^$#]/\\&/g')#BASE#g" \
            -e "s#$(printf '%s' "$winW" | sed 's/[.[\*^$#\\]/\\&/g')#BASE#g" -e 's#[/\\]#/#g'
}
if ! diff <(rows "$L") <(rows "$W"); then echo "rows differ"; status=1; fi
[ "$(rows "$L" | wc -l)" = 4 ] || { echo "expected 4 rows"; rows "$L"; status=1; }
exit $status
