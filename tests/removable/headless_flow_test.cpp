#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "platform/process/detached_command.h"
#include "store/mng_database.h"
#include "support/temp_dir.h"

namespace plenvo {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::vector<std::string> column(const fs::path& base, const std::string& query) {
    auto db = store::openMng(platform::BaseFolder(base));
    auto st = db.prepare(query);
    std::vector<std::string> out;
    while (st.step()) out.push_back(st.text(0).value_or("-"));
    return out;
}

// The console left alone with monitoring on: requests and usage reports are
// taken in tick by tick, without anybody to ask.
TEST(HeadlessConsole, TakesRequestsAndUsageInOverAFewTicks) {
    test::TempDir inst, home;
    const std::string program = PLENVO_PROGRAM;
    const auto installed = platform::runBounded({program, "--install", inst.path().string()}, 60s);
    ASSERT_TRUE(installed && installed->exitCode == 0);
    {
        auto db = store::openMng(platform::BaseFolder(inst.path()));
        db.exec("INSERT INTO Setting (RemChkFlg) VALUES (1)");
        db.exec(
            "INSERT INTO RemList (DselNo, Size, UserID) VALUES ('111', '1 GB', 'Any'), ('222', '2 "
            "GB', 'u2')");
    }
    const fs::path rem = inst.path() / "OrvShare" / "REM";
    fs::create_directories(rem);
    test::writeCp932Lines(rem / "ADD", {"333&4 GB&山田&経理", "444&8 GB&Any&"});
    test::writeCp932Lines(rem / "UseRem", {"111&2009/10/01 9:05:03", "222&2009/10/02 10:00:00"});

    const pid_t console = ::fork();
    if (console == 0) {
        // Nothing of the test machine's own: no share, no start-up entry at home.
        const std::string homeVar = "HOME=" + home.path().string();
        const std::string configVar = "XDG_CONFIG_HOME=" + home.path().string();
        const std::string tempVar = "TEMP=" + home.path().string();
        char* const env[] = {
            const_cast<char*>(homeVar.c_str()), const_cast<char*>(configVar.c_str()),
            const_cast<char*>(tempVar.c_str()), const_cast<char*>("PATH=/nonexistent"), nullptr};
        ::execle(program.c_str(), program.c_str(), "--base", inst.path().c_str(), "--headless",
                 "--tick-ms", "200", static_cast<char*>(nullptr), env);
        ::_exit(127);
    }
    // Claimed files stay until they have settled for a few seconds.
    const auto exchangeFilesLeft = [&] {
        for (const auto& entry : fs::directory_iterator(rem)) {
            const std::string name = entry.path().filename().string();
            if (name == "ADD" || name == "UseRem" || name.find(".taking") != std::string::npos)
                return true;
        }
        return false;
    };
    for (int i = 0; i < 400 && exchangeFilesLeft(); ++i) std::this_thread::sleep_for(50ms);
    std::this_thread::sleep_for(600ms);  // a few more ticks with nothing to do
    ::kill(console, SIGTERM);
    int status = 0;
    for (int i = 0; i < 100 && ::waitpid(console, &status, WNOHANG) == 0; ++i)
        std::this_thread::sleep_for(50ms);
    ASSERT_TRUE(WIFEXITED(status)) << "the console did not end on SIGTERM";

    EXPECT_FALSE(fs::exists(rem / "ADD"));
    EXPECT_FALSE(fs::exists(rem / "UseRem"));
    for (const auto& entry : fs::directory_iterator(rem))
        EXPECT_EQ(entry.path().filename().string().find(".taking"), std::string::npos)
            << entry.path();
    EXPECT_EQ(
        column(
            inst.path(),
            "SELECT DselNo||'|'||Size||'|'||UserID||'|'||Remark FROM RemList_Add ORDER BY rowid"),
        (std::vector<std::string>{"333|4 GB|山田|経理", "444|8 GB|Any|"}));
    EXPECT_EQ(column(inst.path(), "SELECT DselNo||'|'||USDT FROM RemList ORDER BY DselNo"),
              (std::vector<std::string>{"111|2009-10-01 09:05:03", "222|2009-10-02 10:00:00"}));
}

}  // namespace
}  // namespace plenvo
