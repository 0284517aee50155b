#include "pages/status_export.h"

#include <charconv>
#include <functional>
#include <thread>

#include "pages/change_digest.h"
#include "pages/metrics_text.h"
#include "pages/status_json.h"
#include "pages/status_rows.h"
#include "platform/files/file_system.h"
#include "platform/text/text_file.h"
#include "store/mng_database.h"

namespace plenvo::pages {
namespace {

// Each file is written as its writer hands the text over, beside the old
// one; what failed, when it did.
std::optional<std::string> writeExport(const platform::BaseFolder& base, const char* tail,
                                       const std::function<void(const TextSpill&)>& write) {
    try {
        platform::TextWriter file(base.at(tail), platform::TextWriter::Mode::replace);
        write([&file](std::string& piece) {
            file.writeBytes(piece);
            piece.clear();
        });
        file.commit();
        return std::nullopt;
    } catch (const std::exception& e) {
        return e.what();
    }
}

// Everything the files tell but the time they were written and the passes' figures.
std::array<std::uint64_t, 2> contentDigest(const StatusSnapshot& snapshot) {
    ChangeDigest digest;
    snapshot.agents.forEachBlock([&](std::string_view block) { digest.add(block); });
    std::string content;
    const auto text = [&](const std::optional<std::string>& s) {
        content += s ? "\1" + std::to_string(s->size()) + ":" + *s : std::string("\0", 1);
    };
    const auto number = [&](const std::optional<double>& n) {
        char buffer[32];
        content += n ? '\1' : '\0';
        if (n) content.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, *n).ptr);
        content += ';';
    };
    for (const ShareStatus& s : snapshot.shares) {
        text(s.server);
        text(s.share);
        text(s.localPath);
        for (const auto& n :
             {s.sizeBytes, s.freeBytes, s.usageRate, s.daysUntilFull, s.daysUntil07})
            number(n);
    }
    number(snapshot.requestsPending);
    digest.add(content);
    return digest.value();
}

}  // namespace

void StatusExports::write(const platform::RunContext& ctx, std::span<const PassFigures> passes,
                          std::optional<AgentStatusList> agents, When when) {
    StatusSnapshot snapshot;
    snapshot.updated = ctx.clock.now();
    snapshot.passes.assign(passes.begin(), passes.end());
    try {
        store::Connection db = store::openMng(ctx.base);
        if (agents) {
            snapshot.agents = std::move(*agents);
        } else {
            const ListedFileTimes resultTimes(ctx.base.at("\\OrvShare\\RST"));
            snapshot.agents = readAgents(db, snapshot.updated, resultTimes, ctx.failures);
        }
        snapshot.shares = readShares(db, snapshot.updated);
        auto pending = db.prepare("SELECT count(*) FROM RemList_Add");
        if (pending.step())
            snapshot.requestsPending = static_cast<double>(pending.integer(0).value_or(0));
    } catch (const std::exception& e) {
        // Half a picture would read as agents gone: the last whole one stays.
        ctx.failures.report("status exports", e.what());
        return;
    }
    const Digest digest = contentDigest(snapshot);
    const auto json = ctx.base.at("\\HTM\\status.json");
    const auto metrics = ctx.base.at("\\HTM\\metrics.prom");
    if (when == When::changed && written_ == digest && platform::fileExists(json) &&
        platform::fileExists(metrics))
        return;
    written_.reset();
    platform::createFolder(ctx.base.at("\\HTM"));
    // Side by side: each file is a pass over every agent of its own.
    std::optional<std::string> jsonFailed, metricsFailed;
    {
        const std::jthread json([&] {
            jsonFailed = writeExport(ctx.base, "\\HTM\\status.json", [&](const TextSpill& spill) {
                writeStatusJson(snapshot, spill);
            });
        });
        metricsFailed = writeExport(ctx.base, "\\HTM\\metrics.prom", [&](const TextSpill& spill) {
            writeMetricsText(snapshot, spill);
        });
    }
    if (jsonFailed) ctx.failures.report("status exports", *jsonFailed);
    if (metricsFailed) ctx.failures.report("status exports", *metricsFailed);
    // A file that failed is written again at the next pass, changed or not.
    if (!jsonFailed && !metricsFailed) written_ = digest;
}

void writeStatusExports(const platform::RunContext& ctx, std::span<const PassFigures> passes) {
    StatusExports().write(ctx, passes, std::nullopt, StatusExports::When::always);
}

}  // namespace plenvo::pages
