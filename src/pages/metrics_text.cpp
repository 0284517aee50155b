#include "pages/metrics_text.h"

#include <charconv>
#include <cmath>
#include <initializer_list>
#include <unordered_set>
#include <utility>

#include "pages/change_digest.h"
#include "pages/epoch_time.h"
#include "platform/text/utf8_text.h"

namespace plenvo::pages {
namespace {

using Labels = std::initializer_list<std::pair<const char*, std::string_view>>;

std::string numberText(double value) {
    char buffer[32];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    return std::string(buffer, end);
}

// One metric family: its head, then its samples.
class Family {
  public:
    Family(std::string& out, const char* name, const char* help) : out_(out), name_(name) {
        out_ += std::string("# HELP ") + name + " " + help + "\n";
        out_ += std::string("# TYPE ") + name + " gauge\n";
    }

    void sample(Labels labels, const std::optional<double>& value) {
        if (!value || !std::isfinite(*value)) return;
        series_ = name_;
        if (labels.size() != 0) {
            series_ += '{';
            bool first = true;
            for (const auto& [label, text] : labels) {
                if (!first) series_ += ',';
                first = false;
                series_ += label;
                series_ += "=\"";
                appendLabelValue(series_, text);
                series_ += '"';
            }
            series_ += '}';
        }
        ChangeDigest digest;
        digest.add(series_);
        if (!written_.insert(digest.value()[0]).second) return;
        out_ += series_;
        out_ += ' ';
        out_ += numberText(*value);
        out_ += '\n';
    }

  private:
    std::string& out_;
    const char* name_;
    std::string series_;  // the one being written, its buffer kept from sample to sample
    // The series written so far by a keyed digest: 8 bytes each rather than
    // their text, and nobody who names a host can make two collide.
    std::unordered_set<std::uint64_t> written_;
};

std::optional<double> secondsOf(TimePlaces& places, const std::optional<platform::LocalTime>& t) {
    if (!t) return std::nullopt;
    const auto seconds = places.epochSeconds(*t);
    return seconds ? std::optional(static_cast<double>(*seconds)) : std::nullopt;
}

std::optional<double> ratioOf(const std::optional<double>& percent) {
    return percent ? std::optional(*percent / 100) : std::nullopt;
}

}  // namespace

void appendLabelValue(std::string& out, std::string_view text) {
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80) {
            const size_t n = platform::utf8CharacterLength(text.substr(i));
            if (n == 0) {
                out += "\xEF\xBF\xBD";
                ++i;
            } else {
                out.append(text.substr(i, n));
                i += n;
            }
            continue;
        }
        if (c == '\\')
            out += "\\\\";
        else if (c == '"')
            out += "\\\"";
        else if (c == '\n')
            out += "\\n";
        else if (c < 0x20 || c == 0x7F)
            out += "\xEF\xBF\xBD";
        else
            out += static_cast<char>(c);
        ++i;
    }
}

std::string labelValue(std::string_view text) {
    std::string out;
    appendLabelValue(out, text);
    return out;
}

void writeMetricsText(const StatusSnapshot& snapshot, const TextSpill& spill) {
    std::string out;
    TimePlaces places;
    const auto spillFull = [&] {
        if (out.size() >= kSpillSize) spill(out);
    };
    const auto text = [](const std::optional<std::string>& s) {
        return s ? std::string_view(*s) : std::string_view();
    };
    // Each family in a scope of its own: the series it has seen go with it.
    {
        Family(out, "plenvo_status_updated_timestamp_seconds",
               "When the console last wrote this file, in seconds since the epoch.")
            .sample({}, secondsOf(places, snapshot.updated));
    }
    {
        Family(out, "plenvo_media_requests_pending",
               "Removable media requests waiting for the administrator's approval or denial.")
            .sample({}, snapshot.requestsPending);
    }
    {
        Family lastReport(out, "plenvo_agent_last_report_timestamp_seconds",
                          "Time of the agent's last report, in seconds since the epoch.");
        snapshot.agents.forEach([&](const AgentStatus& a) {
            lastReport.sample({{"host", text(a.host)}, {"user", text(a.userId)}},
                              secondsOf(places, a.lastReport));
            spillFull();
        });
    }
    {
        Family achievement(out, "plenvo_agent_achievement_ratio",
                           "Achievement rate of the agent's last backup, 1 for complete.");
        snapshot.agents.forEach([&](const AgentStatus& a) {
            achievement.sample({{"host", text(a.host)}, {"user", text(a.userId)}},
                               ratioOf(a.achievementRate));
            spillFull();
        });
    }
    {
        Family error(out, "plenvo_agent_error",
                     "1 for each error code the agent's row carries (see status.json for titles).");
        snapshot.agents.forEach([&](const AgentStatus& a) {
            for (const CodeStatus& c : a.codes)
                error.sample({{"host", text(a.host)}, {"user", text(a.userId)}, {"code", c.code}},
                             1.0);
            spillFull();
        });
    }
    {
        Family size(out, "plenvo_share_size_bytes", "Total size of the drive behind the share.");
        for (const ShareStatus& s : snapshot.shares)
            size.sample({{"server", text(s.server)}, {"share", text(s.share)}}, s.sizeBytes);
    }
    {
        Family free(out, "plenvo_share_free_bytes", "Free space of the drive behind the share.");
        for (const ShareStatus& s : snapshot.shares)
            free.sample({{"server", text(s.server)}, {"share", text(s.share)}}, s.freeBytes);
    }
    {
        Family usage(out, "plenvo_share_usage_ratio",
                     "Used part of the drive behind the share, 1 for full.");
        for (const ShareStatus& s : snapshot.shares)
            usage.sample({{"server", text(s.server)}, {"share", text(s.share)}},
                         ratioOf(s.usageRate));
    }
    {
        Family full(out, "plenvo_share_days_until_full",
                    "Days until the drive behind the share is full, as its growth points.");
        for (const ShareStatus& s : snapshot.shares)
            full.sample({{"server", text(s.server)}, {"share", text(s.share)}}, s.daysUntilFull);
    }
    {
        Family duration(out, "plenvo_pass_last_duration_seconds",
                        "How long the last pass of the kind took.");
        for (const PassFigures& p : snapshot.passes)
            duration.sample({{"kind", p.kind}}, p.lastDurationSeconds);
    }
    {
        Family success(out, "plenvo_pass_last_success_timestamp_seconds",
                       "When the last pass of the kind that went through ended, in seconds since "
                       "the epoch.");
        for (const PassFigures& p : snapshot.passes)
            success.sample({{"kind", p.kind}}, secondsOf(places, p.lastSuccess));
    }
    spill(out);
}

std::string metricsText(const StatusSnapshot& snapshot) {
    std::string text;
    writeMetricsText(snapshot, [&text](std::string& piece) {
        text += piece;
        piece.clear();
    });
    return text;
}

}  // namespace plenvo::pages
