// The headless console under a hostile client, within 256 MiB of address
// space: it keeps importing, and another client gets "/" at once.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <thread>

#include "free_port.h"
#include "platform/network/stream_socket.h"
#include "platform/process/detached_command.h"
#include "platform/text/text_file.h"
#include "support/http_probe.h"
#include "support/listed_destination.h"
#include "support/temp_dir.h"

namespace plenvo {
namespace {

using namespace std::chrono_literals;
using platform::IoState;
using platform::StreamConnection;

constexpr long kAddressSpace = 256L * 1024 * 1024;

class UnderAttack : public ::testing::Test {
  protected:
    UnderAttack() {
        ::setenv("XDG_CONFIG_HOME", (home.path() / "config").c_str(), 1);
        std::filesystem::create_directories(home.path() / "usershares");
        test::writeBytes(home.path() / "smb.conf",
                         "[global]\nusershare path = " + (home.path() / "usershares").string() +
                             "\nusershare max shares = 10\n");
        ::setenv("SMB_CONF_PATH", (home.path() / "smb.conf").c_str(), 1);
        port = test::freePort();
    }
    ~UnderAttack() override {
        if (console <= 0) return;
        ::kill(console, SIGTERM);
        ::waitpid(console, nullptr, 0);
    }
    void install(int agents) {
        const auto done = platform::runBounded({program, "--install", inst.string()}, 30s);
        ASSERT_TRUE(done && done->exitCode == 0);
        const auto backup = dir.path() / "backup";
        std::filesystem::create_directories(backup);
        std::filesystem::create_directories(inst / "OrvShare" / "RST");
        for (int i = 0; i < agents; ++i) deliver("PC" + std::to_string(i));
        test::listDestination(platform::BaseFolder(inst), backup.string());
    }
    void deliver(const std::string& host) {
        test::writeCp932Lines(inst / "OrvShare" / "RST" / (host + ".txt"),
                              {"ComNM=" + host, "UserID=u1", "UserName=利用者", "Status=Idol",
                               "ToBkup=" + (dir.path() / "backup" / host).string()});
    }
    void start() {
        console = ::fork();
        if (console == 0) {
            const int out = ::open((dir.path() / "said.txt").c_str(), O_WRONLY | O_CREAT, 0600);
            ::dup2(out, 2);
            ::setenv("MALLOC_ARENA_MAX", "2", 1);
            const std::string as = "--as=" + std::to_string(kAddressSpace);
            const std::string listen = "127.0.0.1:" + std::to_string(port);
            ::execlp("prlimit", "prlimit", as.c_str(), "--stack=2097152", "--", program.c_str(),
                     "--base", inst.c_str(), "--headless", "--tick-ms", "500", "--http",
                     listen.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        for (int i = 0; i < 300 && test::httpGet(port, "/Index.htm", {}, 2s).status != 200; ++i)
            std::this_thread::sleep_for(50ms);
    }
    bool alive() const { return ::waitpid(console, nullptr, WNOHANG) == 0; }
    // The best of five fresh requests for "/" from another address, a little
    // apart: the tests of other programs share the machine's two cores.
    std::chrono::milliseconds pageTime() const {
        auto best = std::chrono::milliseconds(60'000);
        for (int i = 0; i < 5; ++i) {
            if (i > 0) std::this_thread::sleep_for(std::chrono::milliseconds(30));
            const auto began = std::chrono::steady_clock::now();
            const auto reply = test::httpGet(port, "/", {}, 5s, "127.0.0.2");
            const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
                std::chrono::steady_clock::now() - began);
            if (reply.status == 200) best = std::min(best, took);
        }
        return best;
    }
    // Whether a result file delivered now reaches the page within a few passes.
    bool imports(const std::string& host) {
        deliver(host);
        for (int i = 0; i < 100; ++i) {
            if (test::readBytes(inst / "HTM" / "Index.htm").find(host) != std::string::npos)
                return true;
            std::this_thread::sleep_for(100ms);
        }
        return false;
    }
    StreamConnection connect() const {
        auto made = StreamConnection::connectTo("127.0.0.1", port, 5s);
        if (auto* why = std::get_if<std::string>(&made)) ADD_FAILURE() << *why;
        return std::move(std::get<StreamConnection>(made));
    }
    long peakMemory() const {
        std::ifstream status("/proc/" + std::to_string(console) + "/status");
        for (std::string line; std::getline(status, line);)
            if (line.starts_with("VmHWM:")) return std::stol(line.substr(6)) * 1024;
        return -1;
    }

    test::TempDir dir, home;
    const std::filesystem::path inst = dir.path() / "inst";
    const std::string program = PLENVO_PROGRAM;
    int port = 0;
    pid_t console = 0;
};

// Sends `bytes` again and again until the server cuts the connection; false
// if it is still open after `limit`.
bool cutWhileSending(StreamConnection& c, const std::string& bytes,
                     std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        const auto put = c.writeSome(bytes.data(), bytes.size());
        if (put.state == IoState::failed || put.state == IoState::closed) return true;
        if (put.state != IoState::done) {
            platform::SocketWait wait{c.handle(), true, true};
            platform::waitForSockets({&wait, 1}, 100ms);
            char sink[4096];
            const auto got = c.readSome(sink, sizeof sink);
            if (got.state == IoState::closed || got.state == IoState::failed) return true;
        }
    }
    return false;
}

TEST_F(UnderAttack, TheConsoleKeepsServingAndImportingWithinItsMemory) {
    install(300);
    start();
    ASSERT_TRUE(alive()) << test::readBytes(dir.path() / "said.txt");
    ASSERT_EQ(test::httpGet(port, "/").status, 200) << test::readBytes(dir.path() / "said.txt");

    // Endless header lines: each cut after its first 8 KB, nothing held.
    {
        std::vector<std::thread> senders;
        std::atomic<int> cut{0};
        for (int i = 0; i < 4; ++i)
            senders.emplace_back([&] {
                auto c = connect();
                const std::string head = "GET / HTTP/1.1\r\nX: ";
                c.writeSome(head.data(), head.size());
                if (cutWhileSending(c, std::string(64 * 1024, 'a'), 10s)) ++cut;
            });
        EXPECT_LT(pageTime(), 100ms);
        for (auto& t : senders) t.join();
        EXPECT_EQ(cut, 4);
    }

    // Thousands of ranges get the page once.
    {
        std::string ranges = "Range: bytes=0-";
        for (int i = 0; i < 1500; ++i) ranges += ",0-";
        const auto page = test::httpGet(port, "/Index.htm", ranges + "\r\n");
        EXPECT_EQ(page.status, 200);
        EXPECT_LT(page.body.size(), std::filesystem::file_size(inst / "HTM" / "Index.htm") * 2);
    }

    // Idle connections by the hundred take 32 places, not the console's files.
    {
        std::vector<StreamConnection> idle;
        for (int i = 0; i < 900; ++i) {
            auto made = StreamConnection::connectTo("127.0.0.1", port, 2s);
            if (auto* c = std::get_if<StreamConnection>(&made)) idle.push_back(std::move(*c));
        }
        EXPECT_LT(pageTime(), 100ms);
        EXPECT_TRUE(imports("IDLE01"));
    }

    // Eight clients that send a byte every 2 s.
    {
        std::vector<StreamConnection> slow;
        for (int i = 0; i < 8; ++i) slow.push_back(connect());
        for (int round = 0; round < 3; ++round) {
            for (auto& c : slow) c.writeSome("G", 1);
            EXPECT_LT(pageTime(), 100ms);
            std::this_thread::sleep_for(2s);
        }
        EXPECT_TRUE(imports("SLOW01"));
    }

    // Eight clients that fetch the page at once, again and again.
    {
        std::atomic<bool> stop{false};
        std::vector<std::thread> readers;
        for (int i = 0; i < 8; ++i)
            readers.emplace_back([&] {
                while (!stop) test::httpGet(port, "/Index.htm", {}, 10s);
            });
        EXPECT_LT(pageTime(), 100ms);
        EXPECT_TRUE(imports("MANY01"));
        stop = true;
        for (auto& t : readers) t.join();
    }

    EXPECT_TRUE(alive()) << test::readBytes(dir.path() / "said.txt");
    const long peak = peakMemory();
    EXPECT_GT(peak, 0);
    EXPECT_LT(peak, kAddressSpace);
    RecordProperty("peak_memory_bytes", std::to_string(peak));
    std::cout << "peak resident memory: " << peak / 1024 / 1024 << " MiB\n";
}

}  // namespace
}  // namespace plenvo
