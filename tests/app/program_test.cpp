#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "platform/process/detached_command.h"
#include "platform/text/text_file.h"
#include "store/sqlite.h"
#include "support/silent_server.h"
#include "support/skip.h"
#include "support/temp_dir.h"

namespace {

using namespace std::chrono_literals;
using plenvo::platform::runBounded;

class Program : public ::testing::Test {
  protected:
    Program() {
        ::setenv("XDG_CONFIG_HOME", (home.path() / "config").c_str(), 1);
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        // Samba's tools keep the consoles' shares in a folder of the test: this
        // machine's own shares stay as they are.
        std::filesystem::create_directories(home.path() / "usershares");
        plenvo::test::writeBytes(
            home.path() / "smb.conf",
            "[global]\nusershare path = " + (home.path() / "usershares").string() +
                "\nusershare max shares = 10\n");
        ::setenv("SMB_CONF_PATH", (home.path() / "smb.conf").c_str(), 1);
    }
    std::optional<plenvo::platform::CommandResult> run(std::vector<std::string> args) {
        args.insert(args.begin(), program);
        return runBounded(args, 60s);
    }

    plenvo::test::TempDir dir, home;
    const std::string program = PLENVO_PROGRAM;
};

TEST_F(Program, UnknownOptionsPrintUsageAndEndWithTwo) {
    const auto result = run({"--frobnicate"});
    ASSERT_TRUE(result);
    EXPECT_EQ(result->exitCode, 2);
}

TEST_F(Program, AFailureToldIntoAClosedPipeDoesNotEndTheConsole) {
    std::filesystem::create_directories(dir.path() / "OrvShare" / "RST");
    plenvo::test::writeBytes(dir.path() / "Mng.mdb", "not a database");
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ::close(fds[0]);  // nobody reads what the console tells
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(fds[1], 2);
        ::execl(program.c_str(), program.c_str(), "--base", dir.path().c_str(), "--once",
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(fds[1]);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(Program, InstalledConsoleImportsItsReportsOnce) {
    const auto inst = dir.path() / "inst";
    ASSERT_EQ(run({"--install", inst.string()})->exitCode, 0);
    for (const char* f :
         {"PlenvoBackupMng", "Mng.mdb", "HTM/img/GRF100.bmp", "HTM/img/GRF.bmp", "HTM/img/run.gif",
          "HTM/img/Hatena.GIF", "HTM/img/Rest.gif", "HELP/Plenvo Backup Manager Help.html"})
        EXPECT_TRUE(std::filesystem::exists(inst / f)) << f;
    std::filesystem::create_directories(inst / "OrvShare" / "RST");
    plenvo::test::writeCp932Lines(inst / "OrvShare" / "RST" / "pc01.txt",
                                  {"ComNM=PC01", "UserID=u01", "UserName=山田", "Status=Idol"});
    const auto once = runBounded({(inst / "PlenvoBackupMng").string(), "--once"}, 60s);
    ASSERT_TRUE(once);
    EXPECT_EQ(once->exitCode, 0);
    const std::string page =
        plenvo::platform::decodeCp932(plenvo::test::readBytes(inst / "HTM" / "Index.htm"));
    EXPECT_NE(page.find("山田(u01)"), std::string::npos);
    EXPECT_NE(page.find("待機中"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(inst / "HTM" / "VBS" / "PC01_u01_Log.vbs"));

    // Installing again keeps the database and its rows.
    ASSERT_EQ(run({"--install", inst.string()})->exitCode, 0);
    EXPECT_GT(std::filesystem::file_size(inst / "Mng.mdb"), 0u);
}

TEST_F(Program, ASecondConsoleForTheSameFolderEndsAtOnceAndTheFirstEndsOnSigterm) {
    const pid_t first = ::fork();
    if (first == 0) {
        ::execl(program.c_str(), program.c_str(), "--base", dir.path().c_str(), "--headless",
                "--tick-ms", "100", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    // The first console makes the tree; wait for it.
    for (int i = 0; i < 100 && !std::filesystem::exists(dir.path() / "OrvShare" / "REM"); ++i)
        std::this_thread::sleep_for(50ms);
    ASSERT_TRUE(std::filesystem::exists(dir.path() / "OrvShare" / "REM"));
    std::filesystem::remove_all(dir.path() / "OrvShare");
    const auto second = run({"--base", dir.path().string(), "--once"});
    ASSERT_TRUE(second);
    EXPECT_EQ(second->exitCode, 3) << "service managers and scripts must see it did not run";
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "OrvShare"))
        << "the second console touched the folder";

    ::kill(first, SIGTERM);
    int status = 0;
    for (int i = 0; i < 100 && ::waitpid(first, &status, WNOHANG) == 0; ++i)
        std::this_thread::sleep_for(50ms);
    EXPECT_TRUE(WIFEXITED(status)) << "the console did not end on SIGTERM";
}

TEST_F(Program, EndsWithinASecondWhileAPassWaitsOnASilentServer) {
    plenvo::test::SilentServer silent("127.0.0.10");
    if (!silent.listening()) PLENVO_SKIP() << "a listener on 127.0.0.10:445 needs root";
    const auto inst = dir.path() / "inst";
    ASSERT_EQ(run({"--install", inst.string()})->exitCode, 0);
    std::filesystem::create_directories(inst / "OrvShare" / "RST");
    {
        auto db = plenvo::store::Connection::open(inst / "Mng.mdb");
        db.exec(
            "INSERT INTO UserLog (ComNM, UserID, ToBkup) VALUES ('PC01', 'u1', "
            "'\\\\127.0.0.10\\Backup\\PC01')");
    }
    const pid_t console = ::fork();
    if (console == 0) {
        ::execl((inst / "PlenvoBackupMng").c_str(), "PlenvoBackupMng", "--headless",
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    // The start-up pass is now waiting on the silent server.
    std::this_thread::sleep_for(1500ms);
    const auto asked = std::chrono::steady_clock::now();
    ::kill(console, SIGTERM);
    int status = 0;
    while (::waitpid(console, &status, WNOHANG) == 0 &&
           std::chrono::steady_clock::now() - asked < 10s)
        std::this_thread::sleep_for(20ms);
    const auto took = std::chrono::steady_clock::now() - asked;
    ASSERT_TRUE(WIFEXITED(status)) << "the console did not end";
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_LT(took, 1500ms);
    auto db = plenvo::store::Connection::open(inst / "Mng.mdb");
    auto check = db.prepare("PRAGMA integrity_check");
    ASSERT_TRUE(check.step());
    EXPECT_EQ(check.text(0).value_or(""), "ok");
}

}  // namespace
