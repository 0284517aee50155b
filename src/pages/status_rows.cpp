#include "pages/status_rows.h"

#include <charconv>
#include <cmath>
#include <set>

#include "pages/agent_state.h"
#include "pages/code_titles.h"
#include "platform/files/file_system.h"
#include "platform/text/utf8_path.h"
#include "store/date_time.h"
#include "store/share_forecast.h"

namespace plenvo::pages {
namespace {

using store::Statement;

std::optional<std::string> textAt(const Statement& st, int column) {
    return column < 0 ? std::nullopt : st.text(column);
}

// Only values stored as numbers count: a text in a number column is no figure.
std::optional<double> numberAt(const Statement& st, int column) {
    if (column < 0) return std::nullopt;
    const store::DbValue value = st.value(column);
    double number;
    if (const auto* d = std::get_if<double>(&value))
        number = *d;
    else if (const auto* i = std::get_if<std::int64_t>(&value))
        number = static_cast<double>(*i);
    else
        return std::nullopt;
    return std::isfinite(number) ? std::optional(number) : std::nullopt;
}

// "100%" gives 100; blanks around and the percent sign may be left out.
std::optional<double> achievementRate(std::string_view rsrt) {
    while (!rsrt.empty() && rsrt.front() == ' ') rsrt.remove_prefix(1);
    while (!rsrt.empty() && rsrt.back() == ' ') rsrt.remove_suffix(1);
    if (rsrt.ends_with('%')) rsrt.remove_suffix(1);
    if (rsrt.empty()) return std::nullopt;
    double rate = 0;
    const auto [end, error] = std::from_chars(rsrt.data(), rsrt.data() + rsrt.size(), rate);
    if (error != std::errc() || end != rsrt.data() + rsrt.size() || !std::isfinite(rate))
        return std::nullopt;
    return rate;
}

}  // namespace

std::vector<AgentStatus> readAgents(store::Connection& db, const platform::LocalTime& now,
                                    const platform::FileTimes& resultTimes,
                                    platform::FailureLog& failures) {
    Statement st = db.prepare("SELECT * FROM UserLog ORDER BY UPDT");
    const int comNm = st.columnIndex("ComNM"), userId = st.columnIndex("UserID"),
              userName = st.columnIndex("UserName"), agtVer = st.columnIndex("AgtVer"),
              toBkup = st.columnIndex("ToBkup"), updt = st.columnIndex("UPDT"),
              rsrt = st.columnIndex("RSRT"), status = st.columnIndex("Status"),
              fileNm = st.columnIndex("FileNM"), erNo = st.columnIndex("ErNo");
    CodeTitles titles(db);
    std::vector<AgentStatus> agents;
    // Room for every row at once: growing by doubling would hold two copies at its peak.
    Statement count = db.prepare("SELECT COUNT(*) FROM UserLog");
    if (count.step()) agents.reserve(static_cast<size_t>(count.integer(0).value_or(0)));
    while (st.step()) {
        AgentStatus& agent = agents.emplace_back();
        agent.host = textAt(st, comNm);
        agent.userId = textAt(st, userId);
        agent.userName = textAt(st, userName);
        agent.agentVersion = textAt(st, agtVer);
        agent.destination = textAt(st, toBkup);
        agent.lastReport = store::parseDateTime(textAt(st, updt).value_or(""));
        if (agent.lastReport) agent.daysSince = store::daysBetween(*agent.lastReport, now);
        agent.achievementRate = achievementRate(textAt(st, rsrt).value_or(""));
        agent.state = stateWord(textAt(st, status).value_or(""), textAt(st, fileNm).value_or(""),
                                now, resultTimes);
        // A code listed twice is one code.
        std::set<std::string> seen;
        for (const std::string& code : listedCodes(textAt(st, erNo).value_or(""))) {
            if (!seen.insert(code).second) continue;
            CodeStatus& listed = agent.codes.emplace_back(CodeStatus{code, std::nullopt});
            try {
                listed.title = titles.of(code);
            } catch (const std::exception& e) {
                failures.report("status exports", e.what());
            }
        }
    }
    return agents;
}

std::vector<ShareStatus> readShares(store::Connection& db, const platform::LocalTime& now) {
    Statement st = db.prepare(
        "SELECT * FROM ShareDriveInfo ORDER BY ComNM COLLATE NOCASE, Drv COLLATE NOCASE, "
        "SharePath COLLATE NOCASE, rowid");
    const int comNm = st.columnIndex("ComNM"), sharePath = st.columnIndex("SharePath"),
              localPath = st.columnIndex("LocalPath"), drvSize = st.columnIndex("DrvSize"),
              drvSpace = st.columnIndex("DrvSpace"), usageVate = st.columnIndex("UsageVate");
    std::vector<ShareStatus> shares;
    while (st.step()) {
        shares.push_back({textAt(st, comNm), textAt(st, sharePath), textAt(st, localPath),
                          numberAt(st, drvSize), numberAt(st, drvSpace), numberAt(st, usageVate)});
    }
    // An older database without the history has no forecasts.
    if (!db.tableExists("ShareHistory")) return shares;
    const platform::LocalTime since = store::minusDays(now, store::kForecastDays);
    for (ShareStatus& share : shares) {
        if (!share.share) continue;
        const store::ShareForecast forecast =
            store::forecastShare(store::shareHistory(db, *share.share, since), now);
        share.daysUntilFull = forecast.daysUntilFull;
        share.daysUntil07 = forecast.daysUntil07;
    }
    return shares;
}

ListedFileTimes::ListedFileTimes(const std::filesystem::path& folder)
    : prefix_(platform::utf8Of(folder / "")) {
    platform::listStamps(
        folder, [](std::string_view) { return true; },
        [&](std::string_view name, const platform::FileStamp& stamp) {
            if (auto t = platform::modifiedTime(stamp)) times_.emplace(std::string(name), *t);
        });
}

std::optional<platform::LocalTime> ListedFileTimes::lastModified(const std::string& path) const {
    if (std::string_view(path).starts_with(prefix_)) {
        const auto it = times_.find(std::string_view(path).substr(prefix_.size()));
        if (it != times_.end()) return it->second;
    }
    return platform::lastModified(platform::pathFromUtf8(path));
}

}  // namespace plenvo::pages
