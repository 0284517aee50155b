#include "pages/status_rows.h"

#include <algorithm>
#include <charconv>
#include <cmath>

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

AgentStatusReader::AgentStatusReader(const Statement& rows, store::Connection& db)
    : rows_(rows),
      comNm_(rows.columnIndex("ComNM")),
      userId_(rows.columnIndex("UserID")),
      userName_(rows.columnIndex("UserName")),
      agtVer_(rows.columnIndex("AgtVer")),
      toBkup_(rows.columnIndex("ToBkup")),
      updt_(rows.columnIndex("UPDT")),
      rsrt_(rows.columnIndex("RSRT")),
      status_(rows.columnIndex("Status")),
      fileNm_(rows.columnIndex("FileNM")),
      erNo_(rows.columnIndex("ErNo")),
      titles_(db) {}

void AgentStatusReader::read(AgentStatus& agent, const platform::LocalTime& now,
                             const platform::FileTimes& resultTimes,
                             platform::FailureLog& failures) {
    agent.host = textAt(rows_, comNm_);
    agent.userId = textAt(rows_, userId_);
    agent.userName = textAt(rows_, userName_);
    agent.agentVersion = textAt(rows_, agtVer_);
    agent.destination = textAt(rows_, toBkup_);
    agent.lastReport = store::parseDateTime(textAt(rows_, updt_).value_or(""));
    agent.daysSince.reset();
    if (agent.lastReport) agent.daysSince = store::daysBetween(*agent.lastReport, now);
    agent.achievementRate = achievementRate(textAt(rows_, rsrt_).value_or(""));
    agent.state = stateWord(textAt(rows_, status_).value_or(""),
                            textAt(rows_, fileNm_).value_or(""), now, resultTimes);
    agent.codes.clear();
    // A code listed twice is one code; a row lists a few at most.
    for (const std::string& code : listedCodes(textAt(rows_, erNo_).value_or(""))) {
        if (std::any_of(agent.codes.begin(), agent.codes.end(),
                        [&](const CodeStatus& c) { return c.code == code; }))
            continue;
        CodeStatus& listed = agent.codes.emplace_back(CodeStatus{code, std::nullopt});
        try {
            listed.title = titles_.of(code);
        } catch (const std::exception& e) {
            failures.report("status exports", e.what());
        }
    }
}

AgentStatusList readAgents(store::Connection& db, const platform::LocalTime& now,
                           const platform::FileTimes& resultTimes, platform::FailureLog& failures) {
    Statement st = db.prepare("SELECT * FROM UserLog ORDER BY UPDT");
    AgentStatusReader reader(st, db);
    AgentStatusList agents;
    AgentStatus agent;
    while (st.step()) {
        reader.read(agent, now, resultTimes, failures);
        agents.add(agent);
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
                          numberAt(st, drvSize), numberAt(st, drvSpace), numberAt(st, usageVate),
                          std::nullopt, std::nullopt});
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
