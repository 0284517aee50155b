#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "alerts/alert_plan.h"
#include "alerts/mail_settings.h"
#include "alerts/mail_text.h"
#include "platform/core/clock.h"
#include "store/sqlite.h"

namespace plenvo::alerts {

// "HH:MM" of SummaryAt= as minutes after midnight; nullopt for anything else.
std::optional<int> summaryMinute(std::string_view text);

// The last pass of a kind, as the console keeps it.
struct PassLine {
    std::string kind;  // "import", "checks"
    std::optional<double> seconds;
    std::optional<platform::LocalTime> lastSuccess;
};

// What the day's summary tells.
struct DaySummary {
    long ok = 0, withCodes = 0, stale = 0, requests = 0;
    struct Problem {
        std::string host, user, codes, since;  // since: a stored date, or empty
    };
    std::vector<Problem> problems;  // at most kSummaryProblems
    long moreProblems = 0;          // beyond them
    struct Share {
        std::string path;
        long usage = 0;
        std::optional<double> daysUntilFull;
    };
    std::vector<Share> shares;  // at 85 % or more, or full within 14 days
    struct Request {
        std::string serial, size, userIds, remark;
    };
    std::vector<Request> pending;
    std::vector<PassLine> passes;
};

inline constexpr std::size_t kSummaryProblems = 200;

// Reads the summary from the database as it stands at `now`.
DaySummary gatherDaySummary(store::Connection& db, const platform::LocalTime& now,
                            std::vector<PassLine> passes);

// The mail: the counts in the subject, the rest in the body.
MailText daySummaryMail(const MailSettings& settings, const DaySummary& summary,
                        const CodeTitles& titles, const platform::LocalTime& now);

}  // namespace plenvo::alerts
