#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "intake/result_import.h"
#include "store/mng_database.h"
#include "support/fake_clock.h"
#include "support/temp_dir.h"

namespace plenvo::intake {
namespace {

// Text fields that every version of a file gives its own number, spread from
// the first lines to the last so that a read mixing two versions shows.
constexpr const char* kVersionFields[] = {"UserName", "DmNm", "RepSW", "Status", "AgtVer"};

std::vector<std::string> versionLines(int host, int version) {
    const std::string v = "v" + std::to_string(version);
    std::vector<std::string> lines = {"ComNM=H" + std::to_string(host), "UserID=u", "UserName=" + v,
                                      "DmNm=" + v};
    // Beyond the reader's 64 KiB buffer, so that one read of the file takes several.
    const std::string pad(120, 'p');
    for (int i = 0; i < 300; ++i) lines.push_back("Pad" + std::to_string(i) + "=" + pad);
    lines.push_back("RepSW=" + v);
    for (int i = 300; i < 600; ++i) lines.push_back("Pad" + std::to_string(i) + "=" + pad);
    lines.push_back("Status=" + v);
    lines.push_back("AgtVer=" + v);
    return lines;
}

// What a simple agent does: truncate the file and write it anew, a line at a time.
void rewriteInPlace(const std::filesystem::path& file, const std::vector<std::string>& lines) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    ASSERT_TRUE(out.is_open());
    for (const auto& line : lines) ASSERT_TRUE(out << line << "\r\n" << std::flush);
}

TEST(ResultImportStorm, EveryRowHoldsOneWholeVersionOfFilesRewrittenInPlace) {
    test::TempDir dir;
    const auto rst = dir.path() / "OrvShare" / "RST";
    std::filesystem::create_directories(rst);
    store::installMngDatabase(dir.path() / "Mng.mdb");
    test::FakeClock clock;
    test::RecordingFailureLog failures;
    platform::RunContext ctx{platform::BaseFolder(dir.path()), clock, failures};

    constexpr int kHosts = 4;
    constexpr int kVersions = 60;
    for (int h = 0; h < kHosts; ++h)
        rewriteInPlace(rst / ("h" + std::to_string(h) + ".txt"), versionLines(h, 0));

    // Agents rewrite their files now and then, not without pause.
    std::atomic<bool> done = false;
    std::jthread agents([&](std::stop_token stop) {
        std::minstd_rand pause(7);
        for (int version = 1; version <= kVersions && !stop.stop_requested(); ++version) {
            for (int h = 0; h < kHosts; ++h)
                rewriteInPlace(rst / ("h" + std::to_string(h) + ".txt"), versionLines(h, version));
            std::this_thread::sleep_for(std::chrono::milliseconds(pause() % 40));
        }
        done = true;
    });

    std::string fields;
    for (const char* f : kVersionFields) fields += std::string(fields.empty() ? "" : ",") + f;
    NoAnimation still;
    auto rows = [&] {
        importResults(ctx, still);
        std::vector<std::vector<std::optional<std::string>>> out;
        store::Connection db = store::openMng(ctx.base);
        store::Statement st = db.prepare("SELECT " + fields + " FROM UserLog ORDER BY ComNM");
        while (st.step()) {
            out.emplace_back();
            for (int i = 0; i < static_cast<int>(std::size(kVersionFields)); ++i)
                out.back().push_back(st.text(i));
        }
        return out;
    };
    std::set<std::string> seen;
    int passes = 0;
    while (!done) {
        ++passes;
        for (const auto& row : rows()) {
            ASSERT_TRUE(row.front()) << "pass " << passes;
            for (const auto& value : row) ASSERT_EQ(value, row.front()) << "pass " << passes;
            seen.insert(*row.front());
        }
    }
    agents.join();
    EXPECT_GT(seen.size(), 5u) << "versions taken in " << passes << " passes";
    const std::vector<std::optional<std::string>> last(std::size(kVersionFields),
                                                       "v" + std::to_string(kVersions));
    EXPECT_EQ(rows(), decltype(rows())(kHosts, last));
}

}  // namespace
}  // namespace plenvo::intake
