#pragma once

#include <string>
#include <vector>

#include "platform/core/clock.h"
#include "store/history.h"
#include "store/share_forecast.h"

namespace plenvo::web {

// Charts drawn by the server as inline SVG: no script, nothing fetched.

// An agent's last `days` days: its achievement rate as a line, the spans with
// codes shaded red, and a tick for each report taken in.
std::string agentTimelineSvg(const std::vector<store::AgentMoment>& moments,
                             const platform::LocalTime& now, int days = 90);

// A share's used part over its last `days` days and, where the forecast
// knows, the line on to full, drawn up to 30 days ahead.
std::string shareUsageSvg(const std::vector<store::SharePoint>& points,
                          const store::ShareForecast& forecast, const platform::LocalTime& now,
                          int days = 90);

}  // namespace plenvo::web
