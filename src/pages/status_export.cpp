#include "pages/status_export.h"

#include <functional>

#include "pages/metrics_text.h"
#include "pages/status_json.h"
#include "pages/status_rows.h"
#include "platform/files/file_system.h"
#include "platform/text/text_file.h"
#include "store/mng_database.h"

namespace plenvo::pages {
namespace {

// Each file is written as its writer hands the text over, beside the old one.
void writeExport(const platform::RunContext& ctx, const char* tail,
                 const std::function<void(const TextSpill&)>& write) {
    try {
        platform::TextWriter file(ctx.base.at(tail), platform::TextWriter::Mode::replace);
        write([&file](std::string& piece) {
            file.writeBytes(piece);
            piece.clear();
        });
        file.commit();
    } catch (const std::exception& e) {
        ctx.failures.report("status exports", e.what());
    }
}

}  // namespace

void writeStatusExports(const platform::RunContext& ctx, std::span<const PassFigures> passes) {
    StatusSnapshot snapshot;
    snapshot.updated = ctx.clock.now();
    snapshot.passes.assign(passes.begin(), passes.end());
    try {
        store::Connection db = store::openMng(ctx.base);
        const ListedFileTimes resultTimes(ctx.base.at("\\OrvShare\\RST"));
        snapshot.agents = readAgents(db, snapshot.updated, resultTimes, ctx.failures);
        snapshot.shares = readShares(db, snapshot.updated);
        auto pending = db.prepare("SELECT count(*) FROM RemList_Add");
        if (pending.step())
            snapshot.requestsPending = static_cast<double>(pending.integer(0).value_or(0));
    } catch (const std::exception& e) {
        // Half a picture would read as agents gone: the last whole one stays.
        ctx.failures.report("status exports", e.what());
        return;
    }
    platform::createFolder(ctx.base.at("\\HTM"));
    writeExport(ctx, "\\HTM\\status.json",
                [&](const TextSpill& spill) { writeStatusJson(snapshot, spill); });
    writeExport(ctx, "\\HTM\\metrics.prom",
                [&](const TextSpill& spill) { writeMetricsText(snapshot, spill); });
}

}  // namespace plenvo::pages
