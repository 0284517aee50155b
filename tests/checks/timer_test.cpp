#include "app/console.h"
#include "check_fixture.h"

namespace plenvo::test {
namespace {

class CheckTimer : public CheckFixture {
  protected:
    CheckTimer() {
        auto c = db();
        c.exec(
            "INSERT INTO ShareDriveInfo (ComNM, SharePath, UsageVate) VALUES ('s', '\\\\s\\b', "
            "10)");
    }
    std::filesystem::path page() const { return dir.path() / "HTM" / "DiskChk.htm"; }

    app::IconAnimation animation{"1.0.4"};
    app::Console console{ctx, animation, nullptr};
};

TEST_F(CheckTimer, WorksAtTheEleventhTickAndEveryTenthAfter) {
    std::vector<int> pagesAt;
    for (int tick = 1; tick <= 31; ++tick) {
        console.Timer2();
        if (std::filesystem::exists(page())) {
            pagesAt.push_back(tick);
            std::filesystem::remove(page());
        }
    }
    EXPECT_EQ(pagesAt, (std::vector<int>{11, 21, 31}));
    EXPECT_EQ(animation.iconStep(), intake::IconStep::resting);
}

TEST_F(CheckTimer, FailingWorkStillRestsTheIconAndResetsTheCounter) {
    writeBytes(dir.path() / "Mng.mdb", "not a database");
    for (int tick = 1; tick <= 11; ++tick) console.Timer2();
    EXPECT_FALSE(failures.lines.empty());
    EXPECT_EQ(animation.iconStep(), intake::IconStep::resting);
    EXPECT_EQ(animation.shownFrame(), app::IconAnimation::kRestingFrame);
    EXPECT_EQ(console.checkTicks(), 1);
}

}  // namespace
}  // namespace plenvo::test
