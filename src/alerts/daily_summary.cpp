#include "alerts/daily_summary.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "alerts/alert_mail.h"
#include "store/date_time.h"
#include "store/history.h"
#include "store/share_forecast.h"

namespace plenvo::alerts {
namespace {

constexpr double kSoonFullDays = 14;
constexpr long kFullUsage = 85;

std::optional<int> number(std::string_view digits) {
    int value = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size()) return {};
    return value;
}

// When the agent's present codes began, as its history shows: the first row
// after the last one without codes.
std::string codesSince(store::Connection& db, const std::string& host, const std::string& user) {
    if (!db.tableExists("AgentHistory")) return {};
    store::Statement st = db.prepare(
        "SELECT min(At) FROM AgentHistory WHERE ComNM = ?1 COLLATE NOCASE AND UserID = ?2 "
        "COLLATE NOCASE AND At > IFNULL((SELECT max(At) FROM AgentHistory WHERE ComNM = ?1 "
        "COLLATE NOCASE AND UserID = ?2 COLLATE NOCASE AND IFNULL(ErNo, '') = ''), '')");
    st.bind(1, host).bind(2, user);
    return st.step() ? st.text(0).value_or("") : "";
}

std::string titled(const std::string& codes, const CodeTitles& titles) {
    std::string text;
    for (const std::string& code : codesOf(codes)) {
        if (!text.empty()) text += "、";
        const auto title = titles.find(code);
        text += code + (title != titles.end() && !title->second.empty() ? " " + title->second : "");
    }
    return text;
}

std::string passText(const PassLine& pass) {
    std::string line = pass.kind == "import" ? "取り込み: " : "チェック: ";
    line += pass.lastSuccess ? "最後に終わった時刻 " + store::generalText(*pass.lastSuccess)
                             : "まだ終わっていません";
    if (pass.seconds) {
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "、所要 %.1f 秒", *pass.seconds);
        line += seconds;
    }
    return line;
}

}  // namespace

std::optional<int> summaryMinute(std::string_view text) {
    const auto colon = text.find(':');
    if (colon == std::string_view::npos) return {};
    const auto hour = number(text.substr(0, colon));
    const auto minute = number(text.substr(colon + 1));
    if (!hour || !minute || *hour > 23 || *minute > 59 || text.substr(colon + 1).size() != 2)
        return {};
    return *hour * 60 + *minute;
}

DaySummary gatherDaySummary(store::Connection& db, const platform::LocalTime& now,
                            std::vector<PassLine> passes) {
    DaySummary summary;
    summary.passes = std::move(passes);
    store::Statement agents = db.prepare("SELECT ComNM, UserID, ErNo FROM UserLog ORDER BY UPDT");
    while (agents.step()) {
        const std::string codes = agents.text(2).value_or("");
        const auto listed = codesOf(codes);
        if (listed.empty()) {
            ++summary.ok;
            continue;
        }
        ++summary.withCodes;
        for (const auto& code : listed)
            if (code == "15") ++summary.stale;
        if (summary.problems.size() >= kSummaryProblems) {
            ++summary.moreProblems;
            continue;
        }
        const std::string host = agents.text(0).value_or(""), user = agents.text(1).value_or("");
        summary.problems.push_back({host, user, codes, codesSince(db, host, user)});
    }
    store::Statement shares =
        db.prepare("SELECT SharePath, UsageVate FROM ShareDriveInfo WHERE SharePath IS NOT NULL");
    const bool kept = db.tableExists("ShareHistory");
    while (shares.step()) {
        DaySummary::Share share{shares.text(0).value_or(""), shares.integer(1).value_or(0), {}};
        if (kept)
            share.daysUntilFull =
                store::forecastShare(
                    store::shareHistory(db, share.path,
                                        store::minusDays(now, store::kForecastDays)),
                    now)
                    .daysUntilFull;
        if (share.usage >= kFullUsage ||
            (share.daysUntilFull && *share.daysUntilFull <= kSoonFullDays))
            summary.shares.push_back(std::move(share));
    }
    store::Statement requests = db.prepare("SELECT DselNo, Size, UserID, Remark FROM RemList_Add");
    while (requests.step())
        summary.pending.push_back({requests.text(0).value_or(""), requests.text(1).value_or(""),
                                   requests.text(2).value_or(""), requests.text(3).value_or("")});
    summary.requests = static_cast<long>(summary.pending.size());
    return summary;
}

MailText daySummaryMail(const MailSettings& settings, const DaySummary& s, const CodeTitles& titles,
                        const platform::LocalTime& now) {
    MailText mail;
    mail.from = senderOf(settings);
    mail.to = settings.recipients();
    mail.subject = "[Plenvo] 正常 " + std::to_string(s.ok) + " / エラー " +
                   std::to_string(s.withCodes) + " / 未報告 " + std::to_string(s.stale) +
                   " / 申請 " + std::to_string(s.requests);
    mail.date = mailDateNow();
    auto& body = mail.bodyLines;
    body.push_back("バックアップ状況のまとめ (" + store::generalText(now) + ")");
    body.push_back("");
    body.push_back("エラーのあるエージェント:");
    if (s.problems.empty()) body.push_back("  ありません。");
    for (const auto& p : s.problems)
        body.push_back(
            "  " + oneLine(p.host) + " / " + oneLine(p.user) + ": " +
            oneLine(titled(p.codes, titles)) +
            (p.since.empty() ? "" : " (" + store::generalTextOfStored(p.since) + " から)"));
    if (s.moreProblems > 0) body.push_back("  ほか " + std::to_string(s.moreProblems) + " 件");
    body.push_back("");
    body.push_back("使用率 85% 以上か、14 日以内に満杯になる共有:");
    if (s.shares.empty()) body.push_back("  ありません。");
    for (const auto& share : s.shares)
        body.push_back(
            "  " + oneLine(share.path) + ": 使用率 " + std::to_string(share.usage) + "%" +
            (share.daysUntilFull
                 ? "、満杯まで約 " + std::to_string(std::lround(*share.daysUntilFull)) + " 日"
                 : ""));
    body.push_back("");
    body.push_back("リムーバブルメディアの申請: " + std::to_string(s.requests) + " 件");
    for (const auto& r : s.pending)
        body.push_back("  " + oneLine(r.serial) + " " + oneLine(r.size) + " " + oneLine(r.userIds) +
                       " " + oneLine(r.remark));
    body.push_back("");
    body.push_back("コンソール:");
    for (const auto& pass : s.passes) body.push_back("  " + passText(pass));
    if (!settings.webUrl.empty()) {
        body.push_back("");
        body.push_back("Web コンソール: " + settings.webUrl + "/");
    }
    return mail;
}

}  // namespace plenvo::alerts
