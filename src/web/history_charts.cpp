#include "web/history_charts.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <optional>

#include "pages/page_text.h"
#include "store/date_time.h"

namespace plenvo::web {
namespace {

constexpr int kWidth = 720, kHeight = 160, kLeft = 40, kRight = 10, kTop = 10, kBottom = 24;
constexpr int kDaysAhead = 30;

// Where a time and a share of 0..1 fall on a chart from `first` to `last` (days).
struct Frame {
    double first, last;
    double x(double day) const {
        const double clamped = std::clamp(day, first, last);
        return kLeft + (clamped - first) / (last - first) * (kWidth - kLeft - kRight);
    }
    static double y(double share) {
        return kTop + (1 - std::clamp(share, 0.0, 1.0)) * (kHeight - kTop - kBottom);
    }
};

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

// "80%" or "80" as 0.8; nullopt for anything else.
std::optional<double> rateOf(const std::string& text) {
    std::string digits = text;
    if (!digits.empty() && digits.back() == '%') digits.pop_back();
    double value = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size()) return {};
    return std::clamp(value / 100, 0.0, 1.0);
}

std::string dateLabel(const platform::LocalTime& t) {
    return std::to_string(t.month) + "/" + std::to_string(t.day);
}

// The frame, the 0 % and 100 % lines and the dates at both ends.
std::string chartStart(const Frame& frame, const platform::LocalTime& from,
                       const platform::LocalTime& to, const char* title) {
    std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 " +
                      std::to_string(kWidth) + " " + std::to_string(kHeight) +
                      "\" width=\"100%\" role=\"img\" aria-label=\"" + title + "\">";
    for (const double share : {0.0, 1.0})
        svg += "<line x1=\"" + number(frame.x(frame.first)) + "\" x2=\"" +
               number(frame.x(frame.last)) + "\" y1=\"" + number(Frame::y(share)) + "\" y2=\"" +
               number(Frame::y(share)) + "\" stroke=\"#999\" stroke-width=\"1\"/>";
    svg += "<text x=\"2\" y=\"" + number(Frame::y(1) + 4) + "\" font-size=\"11\">100%</text>";
    svg += "<text x=\"2\" y=\"" + number(Frame::y(0) + 4) + "\" font-size=\"11\">0%</text>";
    svg += "<text x=\"" + std::to_string(kLeft) + "\" y=\"" + std::to_string(kHeight - 6) +
           "\" font-size=\"11\">" + dateLabel(from) + "</text>";
    svg += "<text x=\"" + std::to_string(kWidth - kRight) + "\" y=\"" +
           std::to_string(kHeight - 6) + "\" font-size=\"11\" text-anchor=\"end\">" +
           dateLabel(to) + "</text>";
    return svg;
}

}  // namespace

std::string agentTimelineSvg(const std::vector<store::AgentMoment>& moments,
                             const platform::LocalTime& now, int days) {
    const platform::LocalTime from = store::minusDays(now, days);
    const Frame frame{store::daysSinceEpoch(from), store::daysSinceEpoch(now)};
    std::string svg = chartStart(frame, from, now, "達成率とエラーの推移");
    // Each moment's state holds until the next one.
    std::string rateLine, reports;
    for (std::size_t i = 0; i < moments.size(); ++i) {
        const double start = store::daysSinceEpoch(moments[i].at);
        const double end =
            i + 1 < moments.size() ? store::daysSinceEpoch(moments[i + 1].at) : frame.last;
        if (!moments[i].codes.empty())
            svg += "<rect x=\"" + number(frame.x(start)) + "\" y=\"" + number(Frame::y(1)) +
                   "\" width=\"" + number(std::max(1.0, frame.x(end) - frame.x(start))) +
                   "\" height=\"" + number(Frame::y(0) - Frame::y(1)) +
                   "\" fill=\"#F33\" fill-opacity=\"0.25\"><title>" +
                   pages::htmlEscaped(moments[i].codes) + "</title></rect>";
        if (const auto rate = rateOf(moments[i].rate))
            rateLine += number(frame.x(start)) + "," + number(Frame::y(*rate)) + " " +
                        number(frame.x(end)) + "," + number(Frame::y(*rate)) + " ";
        if (i > 0 && moments[i].updt != moments[i - 1].updt && start >= frame.first)
            reports += "<line x1=\"" + number(frame.x(start)) + "\" x2=\"" +
                       number(frame.x(start)) + "\" y1=\"" + number(Frame::y(0)) + "\" y2=\"" +
                       number(Frame::y(0) + 6) + "\" stroke=\"#36F\" stroke-width=\"1\"/>";
    }
    if (!rateLine.empty())
        svg += "<polyline points=\"" + rateLine +
               "\" fill=\"none\" stroke=\"#36F\" stroke-width=\"2\"/>";
    return svg + reports + "</svg>";
}

std::string shareUsageSvg(const std::vector<store::SharePoint>& points,
                          const store::ShareForecast& forecast, const platform::LocalTime& now,
                          int days) {
    const platform::LocalTime from = store::minusDays(now, days);
    const platform::LocalTime ahead = store::minusDays(now, -kDaysAhead);
    const Frame frame{store::daysSinceEpoch(from), store::daysSinceEpoch(ahead)};
    std::string svg = chartStart(frame, from, ahead, "使用率の推移");
    svg += "<line x1=\"" + number(frame.x(store::daysSinceEpoch(now))) + "\" x2=\"" +
           number(frame.x(store::daysSinceEpoch(now))) + "\" y1=\"" + number(Frame::y(1)) +
           "\" y2=\"" + number(Frame::y(0)) + "\" stroke=\"#CCC\" stroke-dasharray=\"2,3\"/>";
    svg += "<line x1=\"" + number(frame.x(frame.first)) + "\" x2=\"" + number(frame.x(frame.last)) +
           "\" y1=\"" + number(Frame::y(0.85)) + "\" y2=\"" + number(Frame::y(0.85)) +
           "\" stroke=\"#F90\" stroke-dasharray=\"4,3\"/>";
    std::string used;
    for (const auto& p : points)
        if (p.size > 0)
            used += number(frame.x(store::daysSinceEpoch(p.at))) + "," +
                    number(Frame::y((p.size - p.free) / p.size)) + " ";
    if (!used.empty())
        svg +=
            "<polyline points=\"" + used + "\" fill=\"none\" stroke=\"#36F\" stroke-width=\"2\"/>";
    if (forecast.daysUntilFull && !points.empty() && points.back().size > 0) {
        const auto& last = points.back();
        const double startDay = store::daysSinceEpoch(last.at);
        const double startUsed = (last.size - last.free) / last.size;
        const double fullDay = store::daysSinceEpoch(now) + *forecast.daysUntilFull;
        // Cut at the chart's edge where it is full later, keeping the slope.
        double endDay = fullDay, endUsed = 1;
        if (fullDay > frame.last && fullDay > startDay) {
            endDay = frame.last;
            endUsed = startUsed + (1 - startUsed) * (frame.last - startDay) / (fullDay - startDay);
        }
        svg += "<line x1=\"" + number(frame.x(startDay)) + "\" y1=\"" +
               number(Frame::y(startUsed)) + "\" x2=\"" + number(frame.x(endDay)) + "\" y2=\"" +
               number(Frame::y(endUsed)) + "\" stroke=\"#F33\" stroke-dasharray=\"6,4\"/>";
    }
    return svg + "</svg>";
}

}  // namespace plenvo::web
