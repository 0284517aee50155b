#include <cmath>

#include "pages/page_text.h"
#include "store/date_time.h"
#include "store/history.h"
#include "store/mng_database.h"
#include "store/share_forecast.h"
#include "web/console_html.h"
#include "web/console_replies.h"
#include "web/history_charts.h"
#include "web/web_console.h"

namespace plenvo::web {

using namespace reply;

namespace {

constexpr int kShownDays = 90;

std::string forecastLine(const store::ShareForecast& forecast) {
    if (!forecast.daysUntilFull)
        return "<p class=\"note\">増えていないか、記録がまだ 3 日分ありません。</p>";
    std::string line =
        "<p>満杯まで約 " + std::to_string(std::lround(*forecast.daysUntilFull)) + " 日";
    if (forecast.daysUntil07 && *forecast.daysUntil07 >= 0.5)
        line += "（85% まで約 " + std::to_string(std::lround(*forecast.daysUntil07)) + " 日）";
    return line + "</p>";
}

}  // namespace

// Every surveyed share with its usage over 90 days and when it fills up.
HttpResponse WebConsole::sharesPage(const Caller& caller) {
    store::Connection db = store::openMng(base_);
    const platform::LocalTime now = platform::SystemClock().now();
    auto shares = db.prepare(
        "SELECT ComNM, SharePath, UsageVate FROM ShareDriveInfo WHERE SharePath IS NOT NULL "
        "ORDER BY UsageVate DESC, ComNM COLLATE NOCASE, SharePath COLLATE NOCASE");
    const bool kept = db.tableExists("ShareHistory");
    std::string body;
    while (shares.step()) {
        const std::string path = shares.text(1).value_or("");
        body += "<h2>" + pages::htmlEscaped(path) + "</h2><p>使用率 " +
                std::to_string(shares.integer(2).value_or(0)) + "%</p>";
        if (!kept) continue;
        const auto points = store::shareHistory(db, path, store::minusDays(now, kShownDays));
        const auto recent =
            store::shareHistory(db, path, store::minusDays(now, store::kForecastDays));
        const store::ShareForecast forecast = store::forecastShare(recent, now);
        body += shareUsageSvg(points, forecast, now, kShownDays) + forecastLine(forecast);
    }
    if (body.empty()) body = "<p class=\"note\">共有ドライブはまだ調べていません。</p>";
    return html(200, consolePage("共有ドライブの推移", body, caller.name()));
}

}  // namespace plenvo::web
