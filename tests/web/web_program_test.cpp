#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "free_port.h"
#include "platform/process/detached_command.h"
#include "platform/text/text_file.h"
#include "store/sqlite.h"
#include "support/http_probe.h"
#include "support/listed_destination.h"
#include "support/skip.h"
#include "support/temp_dir.h"

namespace {

namespace test = plenvo::test;
using namespace std::chrono_literals;
using plenvo::platform::runBounded;

// The built program, headless with its web view, as an administrator runs it.
class WebProgram : public ::testing::Test {
  protected:
    WebProgram() {
        ::setenv("XDG_CONFIG_HOME", (home.path() / "config").c_str(), 1);
        // Samba's tools keep the console's share in a folder of the test.
        std::filesystem::create_directories(home.path() / "usershares");
        plenvo::test::writeBytes(
            home.path() / "smb.conf",
            "[global]\nusershare path = " + (home.path() / "usershares").string() +
                "\nusershare max shares = 10\n");
        ::setenv("SMB_CONF_PATH", (home.path() / "smb.conf").c_str(), 1);
        port = plenvo::test::freePort();
    }
    ~WebProgram() override {
        if (console <= 0) return;
        ::kill(console, SIGTERM);
        int status = 0;
        ::waitpid(console, &status, 0);
    }
    // The program's run, what it tells on standard error in `output`.
    std::optional<plenvo::platform::CommandResult> run(std::vector<std::string> args) {
        args.insert(args.begin(), {"/bin/sh", "-c", "exec \"$@\" 2>&1", "sh", program});
        return runBounded(args, 30s);
    }
    // An installation with one agent whose destination holds a log and a neighbour.
    void install() {
        ASSERT_EQ(run({"--install", inst.string()})->exitCode, 0);
        const auto backup = dir.path() / "backup";
        std::filesystem::create_directories(backup / "PC01");
        std::filesystem::create_directories(backup / "PC02");
        plenvo::test::writeCp932Lines(backup / "PC01" / "Log.txt",
                                      {"2009/10/01 9:00 開始", "2009/10/01 9:05 終了"});
        std::filesystem::create_directories(inst / "OrvShare" / "RST");
        plenvo::test::writeCp932Lines(inst / "OrvShare" / "RST" / "pc01.txt",
                                      {"ComNM=PC01", "UserID=tanaka", "UserName=田中",
                                       "Status=Idol", "ToBkup=" + (backup / "PC01").string()});
        plenvo::test::listDestination(plenvo::platform::BaseFolder(inst), backup.string());
    }
    void startConsole(const std::string& address) {
        console = ::fork();
        if (console == 0) {
            const std::string listen = address + ":" + std::to_string(port);
            ::execl(program.c_str(), program.c_str(), "--base", inst.c_str(), "--headless",
                    "--http", listen.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
    }
    // The answer once the start-up pass has written the page.
    test::HttpReply waitForPage() {
        for (int i = 0; i < 200; ++i) {
            if (auto page = get("/Index.htm"); page.status == 200) return page;
            std::this_thread::sleep_for(50ms);
        }
        return get("/Index.htm");
    }
    test::HttpReply get(std::string_view target) const { return test::httpGet(port, target); }

    plenvo::test::TempDir dir, home;
    const std::filesystem::path inst = dir.path() / "inst";
    const std::string program = PLENVO_PROGRAM;
    int port = 0;
    pid_t console = 0;
};

TEST_F(WebProgram, TheHeadlessConsoleServesItsPagesWithTheirLinks) {
    install();
    startConsole("127.0.0.1");
    const auto page = waitForPage();
    ASSERT_EQ(page.status, 200);
    EXPECT_EQ(page.header("content-type"), "text/html; charset=Shift_JIS");
    const std::string text = plenvo::platform::decodeCp932(page.body);
    EXPECT_NE(text.find("<TITLE>バックアップ一覧</TITLE>"), std::string::npos);
    EXPECT_NE(text.find("href='/log/PC01/tanaka'"), std::string::npos) << text;

    const auto log = get("/log/PC01/tanaka");
    EXPECT_EQ(log.header("content-type"), "text/plain; charset=utf-8");
    EXPECT_EQ(log.body, "2009/10/01 9:05 終了\n2009/10/01 9:00 開始\n");
    const auto folder = get("/folder/PC01/tanaka");
    EXPECT_NE(folder.body.find("<td>PC02\\</td>"), std::string::npos) << folder.body;
    EXPECT_EQ(get("/img/Rest.gif").header("content-type"), "image/gif");
    for (const char* target : {"/log/PC09/tanaka", "/log/..%2F..%2Fetc/passwd", "/Mng.mdb"})
        EXPECT_EQ(get(target).status, 404) << target;

    // A browser shows the page and follows its state link to the log.
    if (::access("/usr/bin/chromium", X_OK) != 0) PLENVO_SKIP() << "no chromium here";
    const std::string url = "http://127.0.0.1:" + std::to_string(port);
    const auto browser = [&](const std::string& target) {
        const auto shown =
            runBounded({"/usr/bin/chromium", "--headless", "--no-sandbox", "--disable-gpu",
                        "--user-data-dir=" + home.path().string(), "--dump-dom", url + target},
                       60s);
        return shown ? shown->output : std::string();
    };
    const std::string dom = browser("/Index.htm");
    EXPECT_NE(dom.find("バックアップ一覧"), std::string::npos) << "the charset was taken";
    EXPECT_NE(dom.find("href=\"/log/PC01/tanaka\""), std::string::npos);
    EXPECT_NE(dom.find("href=\"/folder/PC01/tanaka\""), std::string::npos);
    EXPECT_NE(browser("/log/PC01/tanaka").find("9:05 終了\n2009/10/01 9:00 開始"),
              std::string::npos);
}

TEST_F(WebProgram, AnAddressOthersReachWithoutUsersEndsWithTwo) {
    install();
    const auto open =
        run({"--base", inst.string(), "--headless", "--http", "0.0.0.0:" + std::to_string(port)});
    ASSERT_TRUE(open);
    EXPECT_EQ(open->exitCode, 2);
    EXPECT_NE(open->output.find("--http-users"), std::string::npos) << open->output;

    for (const auto& args :
         std::vector<std::vector<std::string>>{{"--http", "localhost"},
                                               {"--http-users", "users"},
                                               {"--once", "--http", "127.0.0.1:1"}})
        EXPECT_EQ(run(args)->exitCode, 2) << args[0];
}

TEST_F(WebProgram, APortAnotherProgramHoldsIsTriedAgainWhileThePassesGoOn) {
    install();
    // Another program listens on the port first.
    // Close-on-exec: the console must not inherit it.
    const int squatter = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(squatter, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(static_cast<uint16_t>(port));
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(squatter, reinterpret_cast<sockaddr*>(&at), sizeof at), 0);
    ASSERT_EQ(::listen(squatter, 4), 0);

    const auto said = dir.path() / "said.txt";
    console = ::fork();
    if (console == 0) {
        const int out = ::open(said.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(out, 2);
        const std::string listen = "127.0.0.1:" + std::to_string(port);
        ::execl(program.c_str(), program.c_str(), "--base", inst.c_str(), "--headless", "--tick-ms",
                "300", "--http", listen.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    // The console imports all the same: its page is written.
    for (int i = 0; i < 100 && !std::filesystem::exists(inst / "HTM" / "Index.htm"); ++i)
        std::this_thread::sleep_for(50ms);
    EXPECT_TRUE(std::filesystem::exists(inst / "HTM" / "Index.htm"));
    EXPECT_EQ(::waitpid(console, nullptr, WNOHANG), 0) << "the console ended";
    EXPECT_NE(plenvo::test::readBytes(said).find("cannot listen on 127.0.0.1:"), std::string::npos)
        << plenvo::test::readBytes(said);

    // Once the port is free, the next try serves.
    ::close(squatter);
    EXPECT_EQ(waitForPage().status, 200);
    EXPECT_NE(plenvo::test::readBytes(said).find("web view at http://127.0.0.1:"),
              std::string::npos);
}

}  // namespace
