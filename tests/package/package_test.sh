#!/usr/bin/env bash
# The Debian packages as make deb builds them from the built programs: their fields
# and files; its program run from an unpacked root (an installation, one pass
# that shares OrvShare$ and takes a result in, an install over it that keeps
# Mng.mdb); its unit verified by systemd; lintian without errors.
#   package_test.sh SOURCE_DIR PROGRAM
set -euo pipefail
src=$1 program=$2
for tool in dpkg-deb lintian systemd-analyze sqlite3 iconv; do
    command -v "$tool" >/dev/null || { echo "no $tool: scripts/install-deps installs it"; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

made=$("$src/scripts/make-deb" "$program" "$work/out")
version=$(sed -n 's/^project(PlenvoBackupMng VERSION \([0-9.]*\).*/\1/p' "$src/CMakeLists.txt")
deb=$work/out/plenvo-backup-mng_${version}_amd64.deb
desktop=$work/out/plenvo-backup-mng-desktop_${version}_amd64.deb
[ "$made" = "$deb"$'\n'"$desktop" ] || fail "packages made as $made"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = plenvo-backup-mng ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version)"
[ "$(field Architecture)" = amd64 ] || fail "Architecture: $(field Architecture)"
depends=$(field Depends)
for p in samba samba-common-bin smbclient acl adduser libsmbclient libsqlite3-0; do
    grep -qE "(^|, )$p( |,|$)" <<<"$depends" || fail "Depends lacks $p: $depends"
done
# A file server without a desktop gets no Qt, X or GL through the service.
if grep -qiE "qt|libx11|libxcb|libgl|libegl|libfontconfig" <<<"$depends"; then
    fail "Depends pulls a desktop library: $depends"
fi

root=$work/root
dpkg-deb -x "$deb" "$root"
dpkg-deb -e "$deb" "$work/control"
prog=$root/usr/lib/plenvo-backup-mng/PlenvoBackupMng
unit=$root/lib/systemd/system/plenvo-backup-mng.service
[ -x "$prog" ] || fail "no program in the package"
if ldd "$prog" | grep -iE "libqt|libx11|libxcb|libgl|libegl"; then
    fail "the service program links a desktop library"
fi
for f in "$unit" "$root/usr/share/doc/plenvo-backup-mng/copyright" \
    "$root/usr/share/doc/plenvo-backup-mng/changelog.gz"; do
    [ -f "$f" ] || fail "not in the package: ${f#"$root"}"
done
for script in preinst postinst prerm postrm; do
    [ -x "$work/control/$script" ] || fail "no $script"
    sh -n "$work/control/$script" || fail "$script does not parse"
done
# The unit and the maintainer script must agree on the program and the base folder.
start=$(sed -n 's/^ExecStart=//p' "$unit")
[ "$start" = "/usr/lib/plenvo-backup-mng/PlenvoBackupMng --headless --base /var/lib/plenvo-backup-mng --http 127.0.0.1:8080" ] ||
    fail "ExecStart=$start"
grep -q '^program=/usr/lib/plenvo-backup-mng/PlenvoBackupMng$' "$work/control/postinst" &&
    grep -q '^base=/var/lib/plenvo-backup-mng$' "$work/control/postinst" ||
    fail "postinst installs elsewhere than the unit runs"

# A person's account of the service's name is refused before anything changes;
# a system account is taken (an earlier install made it).
if [ "$(id -u)" = 0 ] && ! getent passwd plenvo-backup-mng >/dev/null; then
    useradd --uid 4242 --no-create-home plenvo-backup-mng
    status=0
    "$work/control/preinst" install >"$work/preinst.txt" 2>&1 || status=$?
    userdel plenvo-backup-mng
    [ "$status" = 1 ] || fail "preinst took a person's account (status $status)"
    grep -q "already exists and is no system account" "$work/preinst.txt" ||
        fail "preinst said: $(cat "$work/preinst.txt")"
    useradd --system --no-create-home plenvo-backup-mng
    status=0
    "$work/control/preinst" install >"$work/preinst.txt" 2>&1 || status=$?
    userdel plenvo-backup-mng
    [ "$status" = 0 ] || fail "preinst refused a system account: $(cat "$work/preinst.txt")"
elif [ -n "${PLENVO_NO_SKIP:-}" ]; then
    fail "the preinst check needs root and no plenvo-backup-mng account"
fi
for limit in LimitNOFILE MemoryMax TasksMax; do
    grep -q "^$limit=" "$unit" || fail "the unit sets no $limit"
done

# The unpacked program; Samba's tools keep its share in a folder of the test.
mkdir -p "$work/usershares"
printf '[global]\nusershare path = %s\nusershare max shares = 10\n' "$work/usershares" >"$work/smb.conf"
export SMB_CONF_PATH=$work/smb.conf XDG_CONFIG_HOME=$work/config LANG=C.UTF-8
base=$work/base
"$prog" --install "$base" >"$work/out.txt" || { cat "$work/out.txt"; fail "--install failed"; }
grep -qx "made Mng.mdb" "$work/out.txt" || fail "no Mng.mdb made: $(cat "$work/out.txt")"
for f in Mng.mdb HTM/img/GRF.bmp HTM/img/run.gif "HELP/Plenvo Backup Manager Help.html"; do
    [ -f "$base/$f" ] || fail "not installed: $f"
done
"$prog" --once --base "$base" 2>"$work/err.txt" || { cat "$work/err.txt"; fail "--once failed"; }
[ -d "$base/OrvShare/RST" ] || fail "no OrvShare tree"
grep -qx "path=$base/OrvShare" "$work/usershares/orvshare\$" || fail "OrvShare\$ not shared"
printf 'ComNM=PC01\r\nUserID=u01\r\nUserName=%s\r\nStatus=Idol\r\nUPDT=2026/12/07 9:05:03\r\n' \
    "$(printf '山田' | iconv -f UTF-8 -t CP932)" >"$base/OrvShare/RST/PC01.txt"
"$prog" --once --base "$base" 2>"$work/err.txt" || { cat "$work/err.txt"; fail "--once failed"; }
[ "$(sqlite3 "$base/Mng.mdb" "SELECT UserName FROM UserLog")" = 山田 ] || fail "result not taken in"
iconv -f CP932 -t UTF-8 "$base/HTM/Index.htm" | grep -q '山田(u01)' || fail "row not on the page"
# An upgrade runs --install again: the database keeps its rows.
"$prog" --install "$base" >"$work/out.txt" || fail "second --install failed"
grep -qx "kept the existing Mng.mdb" "$work/out.txt" || fail "Mng.mdb not kept: $(cat "$work/out.txt")"
[ "$(sqlite3 "$base/Mng.mdb" "SELECT count(*) FROM UserLog")" = 1 ] || fail "rows lost on upgrade"

# systemd checks that ExecStart exists: a copy of the unit pointing into the unpacked root.
mkdir -p "$work/unit"
sed "s#/usr/lib/plenvo-backup-mng/#$root/usr/lib/plenvo-backup-mng/#g" "$unit" \
    >"$work/unit/plenvo-backup-mng.service"
cp "$root/lib/systemd/system/plenvo-backup-mng.socket" "$work/unit/"
# Unknown keys and bad values are only told, with status 0: any word is a fault.
if ! systemd-analyze verify "$work/unit/plenvo-backup-mng.service" \
    "$work/unit/plenvo-backup-mng.socket" >"$work/verify.txt" 2>&1 ||
    [ -s "$work/verify.txt" ]; then
    cat "$work/verify.txt"
    fail "the unit does not verify"
fi
# Hardening that goes missing shows as a higher exposure (1.8 when this was written).
exposure=$(systemd-analyze security --offline=yes "$work/unit/plenvo-backup-mng.service" 2>&1 |
    sed -n 's/.*Overall exposure level for [^:]*: \([0-9.]*\).*/\1/p')
[ -n "$exposure" ] || fail "no exposure level from systemd-analyze security"
awk -v e="$exposure" 'BEGIN { exit !(e <= 2.5) }' || fail "exposure $exposure above 2.5"

# The desktop's tray: its program and log-on entry, with the service it leads to.
[ "$(dpkg-deb -f "$desktop" Package)" = plenvo-backup-mng-desktop ] || fail "desktop Package"
desktop_depends=$(dpkg-deb -f "$desktop" Depends)
grep -qE "(^|, )plenvo-backup-mng \(= $version\)" <<<"$desktop_depends" ||
    fail "the desktop package does not bring the service: $desktop_depends"
grep -q libqt6widgets6 <<<"$desktop_depends" || fail "desktop Depends lacks Qt: $desktop_depends"
dpkg-deb -x "$desktop" "$work/desktop"
[ -x "$work/desktop/usr/lib/plenvo-backup-mng/PlenvoBackupMngTray" ] || fail "no tray program"
entry=$work/desktop/etc/xdg/autostart/plenvo-backup-mng-desktop.desktop
grep -q '^Exec=/usr/lib/plenvo-backup-mng/PlenvoBackupMngTray --front http://127.0.0.1:8080/$' \
    "$entry" || fail "the log-on entry does not lead to the service's address"
grep -q "127.0.0.1:8080" "$root/lib/systemd/system/plenvo-backup-mng.socket" ||
    fail "the service no longer listens where the tray leads"

if ! lintian --fail-on error "$deb" "$desktop" >"$work/lintian.txt" 2>&1; then
    cat "$work/lintian.txt"
    fail "lintian reports errors"
fi
grep -E '^[EW]: ' "$work/lintian.txt" || true
echo "packages $(basename "$deb") and $(basename "$desktop"): built, unpacked, installed, ran once, unit verified, lintian passed"
