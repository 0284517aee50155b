#include "store/mng_database.h"

#include "platform/files/file_system.h"
#include "platform/files/private_file.h"
#include "platform/text/utf8_path.h"
#include "store/audit_log.h"
#include "store/history.h"

namespace plenvo::store {
namespace {

constexpr const char* kSchema = R"SQL(
CREATE TABLE UserLog (
    ComNM TEXT, UserID TEXT, MailID TEXT, UserName TEXT, DmNm TEXT, FileNM TEXT, ToBkup TEXT,
    Fav TEXT, Dtp TEXT, Mdc TEXT, SPF01 TEXT, SPF02 TEXT, SPF03 TEXT,
    RepSW TEXT, RmtConnect TEXT, RmtComnm TEXT, RestStart TEXT,
    TBKSz DOUBLE, TBKFSz DOUBLE,
    FavSz DOUBLE, DtpSz DOUBLE, MdcSz DOUBLE, SPF01SZ DOUBLE, SPF02SZ DOUBLE, SPF03SZ DOUBLE,
    ToFavSz DOUBLE, ToDtpSz DOUBLE, ToMdcSz DOUBLE, ToSPF01SZ DOUBLE, ToSPF02SZ DOUBLE, ToSPF03SZ DOUBLE,
    RSRT TEXT,
    TLFileQTY SMALLINT, CPFileQTY SMALLINT, SKFileQTY SMALLINT, MSFileQTY SMALLINT, FAFileQTY SMALLINT,
    EXFileQTY SMALLINT,
    RunLVL TEXT, CHKLVL TEXT,
    RepSWFav TEXT, RepSWDtp TEXT, RepSWMdc TEXT, RepSWSPF01 TEXT, RepSWSPF02 TEXT, RepSWSPF03 TEXT,
    RepSWALL TEXT, DiskError TEXT, Status TEXT, AgtVer TEXT, ErNo TEXT, UPDT DATETIME, info TEXT);
CREATE INDEX UserLog_Key ON UserLog (ComNM COLLATE NOCASE, UserID COLLATE NOCASE);
CREATE INDEX UserLog_UPDT ON UserLog (UPDT);
CREATE TABLE ShareDriveInfo (
    ComNM TEXT, SharePath TEXT, LocalPath TEXT, Drv TEXT, DrvSystem TEXT, DrvSize DOUBLE, DrvSpace DOUBLE,
    DrvType INTEGER, VolumeName TEXT, SerialNumber DOUBLE, UsageVate INTEGER, UPDT DATETIME);
CREATE INDEX ShareDriveInfo_Key ON ShareDriveInfo (ComNM COLLATE NOCASE, SharePath COLLATE NOCASE);
CREATE TABLE MailTextMST (MNo TEXT, Title TEXT);
CREATE TABLE RemList (DselNo TEXT, Size TEXT, UserID TEXT, Remark TEXT, UPDT DATETIME, USDT DATETIME);
CREATE TABLE RemList_Add (DselNo TEXT, Size TEXT, UserID TEXT, Remark TEXT, UPDT DATETIME);
CREATE TABLE Setting (RemChkFlg BOOLEAN);
CREATE TABLE ToBkupList (ToBkup TEXT);
INSERT INTO MailTextMST (MNo, Title) VALUES
    ('07', 'バックアップ先ドライブの使用率が85%を超えています'),
    ('08', 'バックアップ先フォルダに接続できません'),
    ('14', 'バックアップ中にエラーが発生しました'),
    ('15', '7日以上バックアップの報告がありません');
)SQL";

}  // namespace

std::filesystem::path mngPath(const platform::BaseFolder& base) {
    return base.at("\\Mng.mdb");
}

Connection openMng(const platform::BaseFolder& base) {
    const auto path = mngPath(base);
    if (!platform::fileExists(path)) throw DbError("Mng.mdb not found");
    return Connection::open(path);
}

bool installMngDatabase(const std::filesystem::path& path) {
    if (platform::fileExists(path)) return false;
    // Made beside and renamed into place: a failed install leaves no half
    // database that a later install would keep.
    std::filesystem::path making = path;
    making += ".new~";
    platform::deleteFile(making);
    {
        Connection db = Connection::create(making);
        Transaction tx(db);
        db.exec(kSchema);
        ensureAuditLogTable(db);
        tx.commit();
        ensureHistoryTables(db);
    }
    // Names and mail addresses of every user.
    platform::keepToOwner(making);
    if (!platform::renameFile(making, path)) {
        platform::deleteFile(making);
        throw DbError("cannot put " + platform::utf8Of(path) + " in place");
    }
    return true;
}

std::vector<std::string> listedDestinations(Connection& db) {
    std::vector<std::string> listed;
    Statement st = db.prepare("SELECT ToBkup FROM ToBkupList ORDER BY rowid");
    while (st.step())
        if (auto destination = st.text(0); destination && !destination->empty())
            listed.push_back(std::move(*destination));
    return listed;
}

platform::NetworkSignIn listedServersSignIn(const platform::BaseFolder& base,
                                            platform::FailureLog& failures) {
    std::vector<std::string> listed;
    try {
        Connection db = openMng(base);
        listed = listedDestinations(db);
    } catch (const DbError&) {
        // Offered to no server: the pass that needs the database says why.
    }
    return platform::offeredOnlyToServersOf(
        platform::loadNetworkSignIn(base.at("\\SmbAuth.conf"), failures), listed);
}

}  // namespace plenvo::store
