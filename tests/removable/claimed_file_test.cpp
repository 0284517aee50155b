#include "removable/claimed_file.h"

#include <gtest/gtest.h>

#include <fstream>

#include "platform/text/text_file.h"
#include "support/fake_clock.h"
#include "support/temp_dir.h"

namespace plenvo::removable {
namespace {

namespace fs = std::filesystem;

// Each tick claims the file afresh, as a console that was restarted in between would.
class ClaimedFileTicks : public ::testing::Test {
  protected:
    std::optional<ClaimedFile> claim() {
        return ClaimedFile::claim(source, claimed, {2009, 10, 1, 9, 5, seconds});
    }
    // The lines one tick takes; `done` tells whether the file was finished.
    std::vector<std::string> tick(bool* done = nullptr) {
        auto file = claim();
        if (!file) return {"(nothing claimed)"};
        std::vector<std::string> taken;
        const bool finished = file->takeLines(
            [&](const std::vector<std::string>& lines) {
                taken.insert(taken.end(), lines.begin(), lines.end());
            },
            failures, "Test");
        if (done) *done = finished;
        return taken;
    }
    void append(const std::string& bytes) {
        std::ofstream(claimed, std::ios::binary | std::ios::app) << bytes;
    }

    test::TempDir dir;
    fs::path source = dir.path() / "UseRem";
    fs::path claimed = dir.path() / "UseRem.taking";
    fs::path side = dir.path() / "UseRem.taking.pos";
    test::RecordingFailureLog failures;
    int seconds = 0;
};

using Lines = std::vector<std::string>;

TEST_F(ClaimedFileTicks, EachLineIsTakenOnceAndTheFileGoesOnlyOnceSettled) {
    test::writeBytes(source, "a\r\nb");
    bool done = true;
    EXPECT_EQ(tick(&done), Lines{"a"}) << "a line still being written waits for its end";
    EXPECT_FALSE(done);
    EXPECT_FALSE(fs::exists(source));

    append("b\r\nc\n");
    EXPECT_EQ(tick(&done), (Lines{"bb", "c"}));
    test::writeBytes(source, "new\r\n");  // waits under its own name meanwhile
    seconds = ClaimedFile::kSettleSeconds - 1;
    EXPECT_EQ(tick(&done), Lines{});
    EXPECT_FALSE(done) << "too soon after the claim";

    seconds = ClaimedFile::kSettleSeconds;
    append("d");
    EXPECT_EQ(tick(&done), Lines{});
    EXPECT_FALSE(done) << "it changed since the last tick";
    EXPECT_EQ(tick(&done), Lines{"d"}) << "the last line is taken without its end";
    EXPECT_TRUE(done);
    EXPECT_FALSE(fs::exists(claimed));
    EXPECT_FALSE(fs::exists(side));

    EXPECT_EQ(tick(&done), Lines{"new"}) << "the file that waited under its own name";
    EXPECT_FALSE(done);
    EXPECT_TRUE(failures.lines.empty());
}

TEST_F(ClaimedFileTicks, AnOverlongLineStillBeingWrittenIsToldOnceAndPassedOverToItsEnd) {
    const size_t limit = platform::TextReader::kDefaultLineLimit;
    test::writeBytes(source, std::string(limit - 1, 'z') + "\r\n" + std::string(limit + 1, 'w'));
    const Lines first = tick();
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(first[0].size(), limit - 1) << "a line within the limit is taken whole";
    EXPECT_EQ(failures.lines.size(), 1u);
    append(std::string(limit, 'w'));
    EXPECT_EQ(tick(), Lines{});
    append("w\r\nok\r\n");
    EXPECT_EQ(tick(), Lines{"ok"});
    EXPECT_EQ(failures.lines.size(), 1u);
}

TEST_F(ClaimedFileTicks, APositionLeftByAnotherFileOrNoPositionAtAllTakesTheFileFromItsStart) {
    test::writeBytes(source, "a\r\n");
    EXPECT_EQ(tick(), Lines{"a"});
    for (const std::string side_text :
         {"", "x", "99999999999 - 0 0", "1 2 3", "99999999999999999999999 - 0 0", "0 - 0 7"}) {
        test::writeBytes(side, side_text);
        EXPECT_EQ(tick(), Lines{"a"}) << side_text;
    }
    // A position kept for an earlier claimed file is dropped with it.
    fs::remove(claimed);
    test::writeBytes(side, "3 3 0 0\r\n");
    test::writeBytes(source, "b\r\n");
    EXPECT_EQ(tick(), Lines{"b"});

    // Nor can folders under the side file's names make lines be taken again.
    fs::remove(side);
    fs::create_directories(side / "x");
    fs::create_directories(side.string() + ".new~/x");
    append("c\r\n");
    EXPECT_EQ(tick(), (Lines{"b", "c"})) << "no position to go by";
    EXPECT_EQ(tick(), Lines{});
    EXPECT_TRUE(failures.lines.empty());
}

}  // namespace
}  // namespace plenvo::removable
