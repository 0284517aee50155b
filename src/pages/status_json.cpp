#include "pages/status_json.h"

#include "pages/epoch_time.h"
#include "pages/json_writer.h"

namespace plenvo::pages {
namespace {

void time(JsonWriter& json, TimePlaces& places, const std::optional<platform::LocalTime>& t) {
    json.stringOrNull(t ? places.isoText(*t) : std::nullopt);
}

void agent(JsonWriter& json, TimePlaces& places, const AgentStatus& a) {
    json.beginObject();
    json.key("host");
    json.stringOrNull(a.host);
    json.key("user_id");
    json.stringOrNull(a.userId);
    json.key("user_name");
    json.stringOrNull(a.userName);
    json.key("agent_version");
    json.stringOrNull(a.agentVersion);
    json.key("last_report");
    time(json, places, a.lastReport);
    json.key("days_since_report");
    json.integerOrNull(a.daysSince);
    json.key("achievement_rate");
    json.numberOrNull(a.achievementRate);
    json.key("state");
    json.string(a.state);
    json.key("destination");
    json.stringOrNull(a.destination);
    json.key("codes");
    json.beginArray();
    for (const CodeStatus& c : a.codes) {
        json.beginObject();
        json.key("code");
        json.string(c.code);
        json.key("title");
        json.stringOrNull(c.title);
        json.endObject();
    }
    json.endArray();
    json.endObject();
}

void share(JsonWriter& json, const ShareStatus& s) {
    json.beginObject();
    json.key("server");
    json.stringOrNull(s.server);
    json.key("share");
    json.stringOrNull(s.share);
    json.key("local_path");
    json.stringOrNull(s.localPath);
    json.key("size_bytes");
    json.numberOrNull(s.sizeBytes);
    json.key("free_bytes");
    json.numberOrNull(s.freeBytes);
    json.key("usage_rate");
    json.numberOrNull(s.usageRate);
    json.key("days_until_full");
    json.numberOrNull(s.daysUntilFull);
    json.key("days_until_07");
    json.numberOrNull(s.daysUntil07);
    json.endObject();
}

void pass(JsonWriter& json, TimePlaces& places, const PassFigures& p) {
    json.beginObject();
    json.key("kind");
    json.string(p.kind);
    json.key("last_duration_seconds");
    json.numberOrNull(p.lastDurationSeconds);
    json.key("last_success");
    time(json, places, p.lastSuccess);
    json.endObject();
}

}  // namespace

void writeStatusJson(const StatusSnapshot& snapshot, const TextSpill& spill) {
    JsonWriter json;
    TimePlaces places;
    const auto spillFull = [&] {
        if (json.pending().size() >= kSpillSize) spill(json.pending());
    };
    json.beginObject();
    json.key("updated");
    time(json, places, snapshot.updated);
    json.key("requests_pending");
    json.numberOrNull(snapshot.requestsPending);
    json.key("agents");
    json.beginArray();
    snapshot.agents.forEach([&](const AgentStatus& a) {
        agent(json, places, a);
        spillFull();
    });
    json.endArray();
    json.key("shares");
    json.beginArray();
    for (const ShareStatus& s : snapshot.shares) share(json, s);
    json.endArray();
    json.key("passes");
    json.beginArray();
    for (const PassFigures& p : snapshot.passes) pass(json, places, p);
    json.endArray();
    json.endObject();
    spill(json.pending());
}

std::string statusJson(const StatusSnapshot& snapshot) {
    std::string text;
    writeStatusJson(snapshot, [&text](std::string& piece) {
        text += piece;
        piece.clear();
    });
    return text;
}

}  // namespace plenvo::pages
