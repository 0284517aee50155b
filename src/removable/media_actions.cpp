#include "removable/media_actions.h"

#include <algorithm>
#include <exception>
#include <string_view>

#include "platform/core/failure_log.h"
#include "platform/files/dos_attributes.h"
#include "platform/text/text_file.h"
#include "platform/text/utf8_text.h"
#include "removable/allow_list.h"
#include "removable/exchange_fields.h"
#include "store/date_time.h"
#include "store/mng_database.h"

namespace plenvo::removable {
namespace {

ActionResult refusal(std::string reason) {
    return {ActionOutcome::refused, std::move(reason)};
}

ActionResult notFound(std::string reason) {
    return {ActionOutcome::notFound, std::move(reason)};
}

const ActionResult kNoSerial{ActionOutcome::refused, "シリアル番号がありません"};

bool isControl(std::string_view character) {
    const auto lead = static_cast<unsigned char>(character[0]);
    if (lead < 0x20 || lead == 0x7F) return true;
    // U+0080 to U+009F
    return lead == 0xC2 && character.size() == 2 && static_cast<unsigned char>(character[1]) < 0xA0;
}

// Why the text cannot be a field of the agents' files, or nullopt when it can.
std::optional<std::string> unfitField(std::string_view text, const std::string& name) {
    if (platform::validUtf8(text) != text) return name + "に使えない文字があります";
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size(); ++characters) {
        const std::size_t n = platform::utf8CharacterLength(text.substr(i));
        if (isControl(text.substr(i, n))) return name + "に改行や制御文字は使えません";
        i += n;
    }
    if (characters > kMediaFieldChars)
        return name + "は" + std::to_string(kMediaFieldChars) + "文字までです";
    // What CP932 cannot hold would reach the agents as "?".
    if (platform::decodeCp932(platform::encodeCp932(text)) != text)
        return name + "にShift_JISで表せない文字があります";
    return std::nullopt;
}

std::optional<std::string> unfitEntry(const Registration& entry) {
    if (entry.serial.find('&') != std::string::npos) return "シリアル番号に「&」は使えません";
    for (const auto& [text, name] :
         {std::pair{&entry.serial, "シリアル番号"}, std::pair{&entry.size, "サイズ"},
          std::pair{&entry.userIds, "許可ユーザID"}, std::pair{&entry.remark, "備考"}})
        if (auto why = unfitField(*text, name)) return why;
    return std::nullopt;
}

// Runs `change` in one write turn and one transaction, committed only when it
// is done; a failure is told and comes back as `failed` with `failedText`.
template <typename Change>
ActionResult inOneTurn(const platform::RunContext& ctx, std::string_view topic,
                       const char* failedText, Change&& change) {
    try {
        store::Connection db = store::openMng(ctx.base);
        const auto turn = store::writeTurn(ctx);
        store::Transaction tx(db);
        ActionResult result = change(db);
        if (result.outcome == ActionOutcome::done) tx.commit();
        return result;
    } catch (const std::exception& e) {
        ctx.failures.report(topic, e.what());
    } catch (...) {
        ctx.failures.report(topic, "unknown failure");
    }
    return {ActionOutcome::failed, failedText};
}

ActionResult published(const platform::RunContext& ctx, const store::MonitoringFlag& flag,
                       ActionResult result) {
    // The change is made either way; a list not written is told and the next
    // rewrite carries it.
    if (result.outcome == ActionOutcome::done && flag.isOn())
        platform::guarded(ctx.failures, "allow-list file", [&] { writeAllowList(ctx, flag); });
    return result;
}

ActionResult registerEntry(store::Connection& db, const Registration& given,
                           const platform::LocalTime& now) {
    const Registration entry = storedForm(given);
    if (auto why = unfitEntry(entry)) return refusal(*why);
    registerMedium(db, entry, now);
    return {};
}

std::optional<Registered> firstRequest(store::Connection& db, const std::string& serial) {
    store::Statement row = db.prepare(
        "SELECT Size, UserID, Remark FROM RemList_Add WHERE DselNo = ?1 ORDER BY rowid LIMIT 1");
    row.bind(1, serial);
    if (!row.step()) return std::nullopt;
    return Registered{textOr(row, 0), textOr(row, 1), textOr(row, 2)};
}

// A field of a line the agents read: the request may hold anything but a line end.
std::string lineField(std::string text) {
    std::replace_if(
        text.begin(), text.end(),
        [](char c) { return c == '&' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }, ' ');
    return text;
}

void appendDenial(const platform::RunContext& ctx, const std::string& serial,
                  const Registered& request) {
    const auto file = ctx.base.at("\\OrvShare\\REM\\UnADD");
    {
        platform::TextWriter out(file, platform::TextWriter::Mode::append);
        out.writeLine(lineField(serial) + "&" + lineField(request.size) + "&" +
                      lineField(request.userIds) + "&" + lineField(request.remark) + "&" +
                      store::generalText(ctx.clock.now()));
        out.commit();
    }
    platform::setAttributes(file, platform::kHiddenSystemAttributes);
}

}  // namespace

std::vector<PendingRequest> pendingRequests(store::Connection& db) {
    std::vector<PendingRequest> requests;
    store::Statement rows = db.prepare(
        "SELECT rowid, DselNo, Size, UserID, Remark, UPDT FROM RemList_Add ORDER BY rowid");
    while (rows.step())
        requests.push_back({rows.integer(0).value_or(0), textOr(rows, 1), textOr(rows, 2),
                            textOr(rows, 3), textOr(rows, 4), textOr(rows, 5)});
    return requests;
}

std::vector<RegisteredMedium> registeredMedia(store::Connection& db) {
    std::vector<RegisteredMedium> media;
    store::Statement rows = db.prepare(
        "SELECT rowid, DselNo, Size, UserID, Remark, UPDT, USDT FROM RemList "
        "ORDER BY USDT, rowid");
    while (rows.step())
        media.push_back({rows.integer(0).value_or(0), textOr(rows, 1), textOr(rows, 2),
                         textOr(rows, 3), textOr(rows, 4), textOr(rows, 5), textOr(rows, 6)});
    return media;
}

Registration storedForm(Registration entry) {
    entry.size = withoutAmpersands(std::move(entry.size));
    entry.userIds = storedUserIds(entry.userIds);
    entry.remark = withoutAmpersands(std::move(entry.remark));
    return entry;
}

ActionResult approveRequest(const platform::RunContext& ctx, const std::string& serial,
                            std::optional<std::string> userIds, std::optional<std::string> remark) {
    if (serial.empty()) return kNoSerial;
    return inOneTurn(
        ctx, "media approval", "申請を許可できませんでした", [&](store::Connection& db) {
            const auto request = firstRequest(db, serial);
            if (!request) return notFound("その申請はありません");
            // The requests go only together with the approval they became.
            ActionResult result =
                registerEntry(db,
                              {serial, request->size, userIds.value_or(request->userIds),
                               remark.value_or(request->remark)},
                              ctx.clock.now());
            if (result.outcome == ActionOutcome::done) removeRequests(db, serial);
            return result;
        });
}

ActionResult approveRequest(const platform::RunContext& ctx, const store::MonitoringFlag& flag,
                            const std::string& serial, std::optional<std::string> userIds,
                            std::optional<std::string> remark) {
    return published(ctx, flag, approveRequest(ctx, serial, std::move(userIds), std::move(remark)));
}

ActionResult denyRequest(const platform::RunContext& ctx, const std::string& serial) {
    if (serial.empty()) return kNoSerial;
    return inOneTurn(ctx, "media denial", "申請を否認できませんでした", [&](store::Connection& db) {
        const auto request = firstRequest(db, serial);
        if (!request) return notFound("その申請はありません");
        // The requests go only once the agent can learn of the denial.
        appendDenial(ctx, serial, *request);
        removeRequests(db, serial);
        return ActionResult{};
    });
}

ActionResult denyRequest(const platform::RunContext& ctx, const store::MonitoringFlag& flag,
                         const std::string& serial) {
    return published(ctx, flag, denyRequest(ctx, serial));
}

ActionResult changeRegistration(const platform::RunContext& ctx, const store::MonitoringFlag& flag,
                                const std::string& serial, const std::string& userIds,
                                const std::string& remark) {
    if (serial.empty()) return kNoSerial;
    return published(
        ctx, flag,
        inOneTurn(ctx, "media change", "登録を変更できませんでした", [&](store::Connection& db) {
            const auto registered = findRegistered(db, serial);
            if (!registered) return notFound("その登録はありません");
            return registerEntry(db, {serial, registered->size, userIds, remark}, ctx.clock.now());
        }));
}

ActionResult saveRegistration(const platform::RunContext& ctx, const Registration& entry) {
    if (entry.serial.empty()) return kNoSerial;
    return inOneTurn(ctx, "media registration", "登録できませんでした", [&](store::Connection& db) {
        return registerEntry(db, entry, ctx.clock.now());
    });
}

ActionResult deleteRegistration(const platform::RunContext& ctx, const std::string& serial) {
    if (serial.empty()) return kNoSerial;
    return inOneTurn(
        ctx, "media deletion", "登録を削除できませんでした", [&](store::Connection& db) {
            unregisterMedium(db, serial);
            return db.changes() > 0 ? ActionResult{} : notFound("その登録はありません");
        });
}

ActionResult deleteRegistration(const platform::RunContext& ctx, const store::MonitoringFlag& flag,
                                const std::string& serial) {
    return published(ctx, flag, deleteRegistration(ctx, serial));
}

}  // namespace plenvo::removable
