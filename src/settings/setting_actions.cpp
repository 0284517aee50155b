#include "settings/setting_actions.h"

#include <cstdint>
#include <exception>
#include <string_view>
#include <vector>

#include "platform/core/ascii_case.h"
#include "platform/core/failure_log.h"
#include "platform/credentials/network_sign_in.h"
#include "platform/files/dos_attributes.h"
#include "platform/files/file_system.h"
#include "platform/paths/windows_path.h"
#include "platform/text/text_file.h"
#include "platform/text/utf8_text.h"
#include "removable/allow_list.h"
#include "settings/pointer_file.h"
#include "store/mail_sent.h"
#include "store/mng_database.h"

namespace plenvo::settings {
namespace {

using Kind = SettingResult::Kind;

constexpr const char* kAllowListFile = "\\OrvShare\\REM\\RM";
constexpr const char* kNoDestination = "バックアップ先フォルダを指定してください";
constexpr const char* kNotCleared = "エラー情報を削除できませんでした";
constexpr const char* kListNotRead = "バックアップ先一覧を読み書きできませんでした";

// A destination as its folder, or why it cannot be one.
struct DestinationForm {
    std::string key;  // the same for every spelling of one folder
    std::string why;  // set when refused
};

SettingResult refusedFor(std::string why) {
    return {Kind::refused, std::move(why)};
}

bool isControlCharacter(std::string_view character) {
    const auto lead = static_cast<unsigned char>(character[0]);
    if (lead < 0x20 || lead == 0x7F) return true;
    // U+0080 to U+009F
    return lead == 0xC2 && character.size() == 2 && static_cast<unsigned char>(character[1]) < 0xA0;
}

// Windows trims such a name to nothing, or climbs with it.
bool onlyDotsOrBlanks(std::string_view part) {
    return part.find_first_not_of(". ") == std::string_view::npos;
}

DestinationForm formOf(std::string_view path) {
    if (path.empty()) return {{}, kNoDestination};
    if (platform::validUtf8(path) != path) return {{}, "バックアップ先に使えない文字があります"};
    std::size_t characters = 0;
    for (std::size_t i = 0; i < path.size(); ++characters) {
        const std::size_t n = platform::utf8CharacterLength(path.substr(i));
        if (isControlCharacter(path.substr(i, n)))
            return {{}, "バックアップ先に改行や制御文字は使えません"};
        i += n;
    }
    if (characters > kDestinationChars)
        return {{}, "バックアップ先は" + std::to_string(kDestinationChars) + "文字までです"};

    const auto sep = platform::isPathSeparator;
    const DestinationForm notWhole{
        {}, "バックアップ先は \\\\サーバ\\共有、C:\\ または / で始まるフォルダで指定してください"};
    std::string key;
    std::size_t start = 0;
    bool unc = false;
    // "\\?\" and "\\.\" (long and device spellings) are no destination the box takes.
    if (path.size() >= 3 && sep(path[0]) && sep(path[1]) && (path[2] == '?' || path[2] == '.') &&
        (path.size() == 3 || sep(path[3])))
        return notWhole;
    if (path.size() >= 2 && sep(path[0]) && sep(path[1])) {
        key = "\\\\";
        start = 2;
        unc = true;
    } else if (path.size() >= 3 && path[1] == ':' && sep(path[2]) &&
               ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'))) {
        key = platform::lowerCase(std::string(path.substr(0, 2)));
        start = 3;
    } else if (path[0] == '/') {
        key = "/";
        start = 1;
    } else {
        return notWhole;
    }

    std::vector<std::string_view> parts;
    while (start <= path.size()) {
        std::size_t end = start;
        while (end < path.size() && !sep(path[end])) ++end;
        parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    // The server and the share are written out, right after "\\".
    if (unc && (parts.size() < 2 || onlyDotsOrBlanks(parts[0]) || onlyDotsOrBlanks(parts[1])))
        return notWhole;
    for (const std::string_view part : parts) {
        if (part.empty() || part == ".") continue;
        if (onlyDotsOrBlanks(part)) return {{}, "バックアップ先に「..」などの名前は使えません"};
        key += '\\' + platform::lowerCase(std::string(part));
    }
    return {std::move(key), {}};
}

// As the window compared them (paths of a case-blind file system), with one
// key for every spelling of a folder; a stored row of no usable form is
// matched by its text alone.
bool sameDestination(const std::string& row, const std::string& path, const std::string& key) {
    const DestinationForm rowForm = formOf(row);
    if (rowForm.why.empty()) return rowForm.key == key;
    return platform::sameIgnoringAsciiCase(row, path);
}

bool isListed(store::Connection& db, const std::string& path, const std::string& key) {
    store::Statement rows = db.prepare("SELECT ToBkup FROM ToBkupList");
    while (rows.step())
        if (sameDestination(rows.text(0).value_or(""), path, key)) return true;
    return false;
}

// Runs `work` (returning a result); a failure is told under `topic` and comes
// back as `failed` with `failedText`.
template <typename Work>
SettingResult toldOnFailure(const platform::RunContext& ctx, std::string_view topic,
                            const char* failedText, Work&& work) {
    try {
        return work();
    } catch (const std::exception& e) {
        ctx.failures.report(topic, e.what());
    } catch (...) {
        ctx.failures.report(topic, "unknown failure");
    }
    return {Kind::failed, failedText};
}

// True when the step went through; a failure is told.
template <typename Step>
bool stepDone(const platform::RunContext& ctx, std::string_view topic, Step&& step) {
    bool done = false;
    platform::guarded(ctx.failures, topic, [&] {
        step();
        done = true;
    });
    return done;
}

void saveSwitch(const platform::RunContext& ctx, bool on) {
    const std::int64_t value = on ? 1 : 0;
    store::Connection db = store::openMng(ctx.base);
    const auto turn = store::writeTurn(ctx);
    store::Statement first = db.prepare("SELECT rowid FROM Setting ORDER BY rowid LIMIT 1");
    if (first.step()) {
        db.prepare("UPDATE Setting SET RemChkFlg = ?1 WHERE rowid = ?2")
            .bind(1, value)
            .bind(2, first.integer(0).value_or(0))
            .run();
    } else {
        db.prepare("INSERT INTO Setting (RemChkFlg) VALUES (?1)").bind(1, value).run();
    }
}

// False when the file could not be made or deleted as the flag says.
bool makeOrRemoveAllowList(const platform::RunContext& ctx, const store::MonitoringFlag& flag) {
    const auto file = ctx.base.at(kAllowListFile);
    if (!flag.isOn()) {
        if (platform::fileExists(file) && !platform::deleteFile(file)) {
            ctx.failures.report("allow-list file", "not deleted");
            return false;
        }
        return true;
    }
    // A list already there is left as it is; the check window rewrites it.
    if (platform::fileExists(file)) return true;
    // Each step on its own: the first write finds no REM folder, which the
    // allow-list writer makes.
    stepDone(ctx, "allow-list file", [&] {
        platform::TextWriter empty(file, platform::TextWriter::Mode::create);
        empty.commit();
    });
    stepDone(ctx, "allow-list file",
             [&] { platform::setAttributes(file, platform::kHiddenSystemAttributes); });
    // Takes the write turn itself.
    const bool written =
        stepDone(ctx, "allow-list file", [&] { removable::writeAllowList(ctx, flag); });
    return written && platform::fileExists(file);
}

}  // namespace

SettingResult addDestination(const platform::RunContext& ctx, const std::string& serverShareFolder,
                             const std::string& path, ui::SlowWork* slow,
                             const platform::ShareLookup::Source& shares) {
    const DestinationForm form = formOf(path);
    if (!form.why.empty()) return refusedFor(form.why);
    return toldOnFailure(ctx, "add destination", kListNotRead, [&]() -> SettingResult {
        store::Connection db = store::openMng(ctx.base);
        if (isListed(db, path, form.key)) return {Kind::unchanged, {}};
        // A destination enters the list only when the console can write into it.
        bool written = false, silent = false;
        ui::SlowWork atOnce;
        (slow ? *slow : atOnce).run([&] {
            const auto lookup = destinationLookup(
                shares, platform::loadNetworkSignIn(ctx.base.at("\\SmbAuth.conf"), ctx.failures));
            written = writePointerFiles({path}, serverShareFolder, *lookup).empty();
            const std::string server = platform::lowerCase(platform::serverOf(path));
            silent = !written && !server.empty() && lookup->isSilent(server);
        });
        if (!written)
            return refusedFor(silent ? "サーバが見つからないか、応答しませんでした"
                                       "（SRV.ini を書き込めません）"
                                     : "SRV.ini を書き込めませんでした（フォルダがないか、"
                                       "書き込みが許されていません）");
        const auto turn = store::writeTurn(ctx);
        // The window and the web view may add the same folder at once.
        if (isListed(db, path, form.key)) return {Kind::unchanged, {}};
        db.prepare("INSERT INTO ToBkupList (ToBkup) VALUES (?1)").bind(1, path).run();
        return {};
    });
}

SettingResult removeDestination(const platform::RunContext& ctx, const std::string& path) {
    if (path.empty()) return refusedFor(kNoDestination);
    const DestinationForm form = formOf(path);
    return toldOnFailure(ctx, "remove destination", kListNotRead, [&]() -> SettingResult {
        store::Connection db = store::openMng(ctx.base);
        const auto turn = store::writeTurn(ctx);
        store::Transaction tx(db);
        std::vector<std::int64_t> matching;
        store::Statement rows = db.prepare("SELECT rowid, ToBkup FROM ToBkupList");
        while (rows.step()) {
            const std::string row = rows.text(1).value_or("");
            if (form.why.empty() ? sameDestination(row, path, form.key)
                                 : platform::sameIgnoringAsciiCase(row, path))
                matching.push_back(rows.integer(0).value_or(0));
        }
        if (matching.empty()) return {Kind::notFound, "一覧にないバックアップ先です"};
        for (const std::int64_t rowid : matching)
            db.prepare("DELETE FROM ToBkupList WHERE rowid = ?1").bind(1, rowid).run();
        tx.commit();
        return {};
    });
}

SettingResult setMonitoring(const platform::RunContext& ctx, store::MonitoringFlag& flag, bool on) {
    SettingResult result;
    try {
        if (!stepDone(ctx, "monitoring switch", [&] { saveSwitch(ctx, on); }))
            result = {Kind::failed, "監視の設定を保存できませんでした"};
        if (!stepDone(ctx, "monitoring switch",
                      [&] { store::readMonitoringFlag(ctx.base, flag); }) &&
            result.kind == Kind::done)
            result = {Kind::failed, "監視の設定を読み直せませんでした"};
        if (!makeOrRemoveAllowList(ctx, flag) && result.kind == Kind::done)
            result = {Kind::failed, flag.isOn() ? "許可リストファイルを作成できませんでした"
                                                : "許可リストファイルを削除できませんでした"};
    } catch (...) {
        ctx.failures.report("monitoring switch", "unknown failure");
        result = {Kind::failed, "監視の設定を変更できませんでした"};
    }
    return result;
}

SettingResult clearErrors(const platform::RunContext& ctx) {
    return toldOnFailure(ctx, "clear errors", kNotCleared, [&]() -> SettingResult {
        store::Connection db = store::openMng(ctx.base);
        const auto turn = store::writeTurn(ctx);
        store::Transaction tx(db);
        db.exec("UPDATE UserLog SET ErNo = ''");
        // Clearing is no recovery: the alerts keep what they told.
        store::markClearing(db);
        tx.commit();
        return {};
    });
}

}  // namespace plenvo::settings
