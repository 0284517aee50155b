#include <gtest/gtest.h>

#include "app/console.h"
#include "platform/text/text_file.h"
#include "platform/text/utf8_path.h"
#include "store/mng_database.h"
#include "support/fake_clock.h"
#include "support/temp_dir.h"

namespace plenvo::app {
namespace {

namespace fs = std::filesystem;

class NoShares final : public platform::ShareService {
  public:
    platform::ShareOutcome addShare(const std::string&, const fs::path&) override { return {}; }
    void grantAccess(const fs::path&) override {}
    platform::UnshareOutcome removeShare(const std::string&, const fs::path&) override {
        return {};
    }
};

class ExportAfterPasses : public ::testing::Test {
  protected:
    ExportAfterPasses() {
        values.computerName = "SRV01";
        values.startupFolder = platform::utf8Of(home.path() / "autostart");
        values.allUsersStartupFolder = platform::utf8Of(home.path() / "xdg-autostart");
        values.workingFolder = platform::utf8Of(home.path());
        store::installMngDatabase(base.path() / "Mng.mdb");
    }
    std::string metrics() { return test::readBytes(base.path() / "HTM" / "metrics.prom"); }

    test::TempDir base, home;
    test::FakeClock clock{{2009, 10, 1, 9, 10, 0}};
    test::RecordingFailureLog failures;
    platform::RunContext ctx{platform::BaseFolder(base.path()), clock, failures};
    IconAnimation animation{"1.0.4"};
    NoShares shares;
    Console console{ctx, animation, nullptr, &shares};
    StartupValues values;
};

TEST_F(ExportAfterPasses, EveryPassRewritesBothFilesWithItsFigures) {
    // No agent yet: the files are there all the same, with both kinds of pass.
    console.startUp(values);
    const std::string empty = metrics();
    EXPECT_NE(empty.find("# TYPE plenvo_agent_error gauge\n"), std::string::npos) << empty;
    EXPECT_NE(empty.find("plenvo_pass_last_duration_seconds{kind=\"import\"} "), std::string::npos);
    EXPECT_NE(empty.find("plenvo_pass_last_duration_seconds{kind=\"checks\"} "), std::string::npos);
    EXPECT_NE(empty.find("plenvo_pass_last_success_timestamp_seconds{kind=\"import\"} "),
              std::string::npos);
    EXPECT_EQ(empty.find("\nplenvo_agent_"), std::string::npos);
    EXPECT_NE(test::readBytes(base.path() / "HTM" / "status.json").find("\"agents\": []"),
              std::string::npos);

    // An agent reports; the next import's export shows it.
    test::writeCp932Lines(base.path() / "OrvShare" / "RST" / "PC01.txt",
                          {"ComNM=PC01", "UserID=u1", "UPDT=2009/10/01 9:05:03", "RSRT=100%",
                           "ErNo=14", "Status=Idol"});
    console.Timer1();
    console.Timer1();
    const std::string after = metrics();
    EXPECT_NE(after.find("plenvo_agent_achievement_ratio{host=\"PC01\",user=\"u1\"} 1\n"),
              std::string::npos)
        << after;
    EXPECT_NE(after.find("plenvo_agent_error{host=\"PC01\",user=\"u1\",code=\"14\"} 1\n"),
              std::string::npos);
    const std::string status = test::readBytes(base.path() / "HTM" / "status.json");
    EXPECT_NE(status.find("\"state\": \"Idol\""), std::string::npos) << status;
    EXPECT_NE(status.find("\"title\": \""), std::string::npos);
}

// A quiet minute costs the list page alone; the checks show on the page at
// once and rewrite the exports even unchanged, which tells the console runs.
TEST_F(ExportAfterPasses, AQuietMinuteWritesThePageAloneAndTheChecksShowAtOnce) {
    console.startUp(values);
    // Reported a month ago: the checks give it code 15.
    test::writeCp932Lines(
        base.path() / "OrvShare" / "RST" / "PC01.txt",
        {"ComNM=PC01", "UserID=u1", "UPDT=2009/09/01 9:05:03", "RSRT=100%", "Status=Idol"});
    const fs::path htm = base.path() / "HTM";
    const auto stamp = [&](const char* name) { return platform::plainFileStamp(htm / name); };
    console.Timer1();
    console.Timer1();
    ASSERT_NE(metrics().find("host=\"PC01\""), std::string::npos);
    EXPECT_EQ(metrics().find("code=\"15\""), std::string::npos);
    const auto json = stamp("status.json"), prom = stamp("metrics.prom"), page = stamp("Index.htm");

    clock.set({2009, 10, 1, 9, 11, 0});
    console.Timer1();
    EXPECT_EQ(stamp("status.json"), json) << "nothing but the time changed";
    EXPECT_EQ(stamp("metrics.prom"), prom);
    EXPECT_NE(stamp("Index.htm"), page);

    // Someone took a file away: it is there again after the next minute.
    fs::remove(htm / "metrics.prom");
    console.Timer1();
    EXPECT_TRUE(fs::exists(htm / "metrics.prom"));

    for (int tick = 0; tick <= Console::kTicksBetweenChecks; ++tick) console.Timer2();
    EXPECT_NE(metrics().find("plenvo_agent_error{host=\"PC01\",user=\"u1\",code=\"15\"} 1\n"),
              std::string::npos)
        << metrics();
    EXPECT_NE(test::readBytes(htm / "Index.htm").find("color:#FF0000'>PC01<"), std::string::npos)
        << "the page waited for the next import to show the checks' code";
    const auto checkedJson = stamp("status.json");
    for (int tick = 0; tick <= Console::kTicksBetweenChecks; ++tick) console.Timer2();
    EXPECT_NE(stamp("status.json"), checkedJson) << "the checks tell the console runs";
}

}  // namespace
}  // namespace plenvo::app
