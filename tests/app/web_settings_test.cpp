#include "app/web_settings.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "store/mng_database.h"
#include "support/fake_clock.h"
#include "support/temp_dir.h"

namespace plenvo::app {
namespace {

namespace fs = std::filesystem;
using Outcome = web::SettingOutcome;

TEST(ConsoleWebSettings, CarriesEveryOutcomeOfTheSettingsRulesToTheView) {
    test::TempDir dir;
    const fs::path base = dir.path() / "base";
    fs::create_directories(base / "OrvShare");
    store::installMngDatabase(base / "Mng.mdb");
    test::FakeClock clock;
    test::RecordingFailureLog failures;
    const platform::RunContext ctx{platform::BaseFolder(base), clock, failures};
    store::MonitoringFlag flag;
    ConsoleWebSettings settings(ctx, flag, "\\\\SRV01\\OrvShare$");
    const fs::path folder = dir.path() / "bk";
    fs::create_directories(folder);

    EXPECT_EQ(settings.addDestination(folder.string()).kind, Outcome::done);
    EXPECT_EQ(settings.addDestination(folder.string() + "\\").kind, Outcome::unchanged);
    const Outcome relative = settings.addDestination("bk");
    EXPECT_EQ(relative.kind, Outcome::refused);
    EXPECT_FALSE(relative.why.empty());
    EXPECT_EQ(settings.destinations(), std::vector<std::string>{folder.string()});
    EXPECT_EQ(settings.removeDestination(folder.string()).kind, Outcome::done);
    EXPECT_EQ(settings.removeDestination(folder.string()).kind, Outcome::notFound);

    EXPECT_EQ(settings.setMonitoring(true).kind, Outcome::done);
    EXPECT_TRUE(settings.monitoring());
    EXPECT_EQ(settings.clearErrors().kind, Outcome::done);

    fs::remove(base / "Mng.mdb");
    EXPECT_TRUE(settings.destinations().empty());
    EXPECT_EQ(settings.clearErrors().kind, Outcome::failed);
}

}  // namespace
}  // namespace plenvo::app
