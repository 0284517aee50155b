#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <thread>

#include "intake/destination_check.h"
#include "intake/drive_survey.h"
#include "pages/share_drive_page.h"
#include "platform/credentials/network_sign_in.h"
#include "platform/network/share_list.h"
#include "platform/network/smb/smb_client_linux.h"
#include "platform/process/detached_command.h"
#include "platform/text/text_file.h"
#include "samba_server.h"
#include "store/date_time.h"
#include "store/mng_database.h"
#include "support/drive_usage.h"
#include "support/fake_clock.h"
#include "support/skip.h"
#include "support/temp_dir.h"

namespace plenvo::test {
namespace {

using namespace std::chrono_literals;
using platform::SmbClient;

constexpr const char* kUser = "plenvo-smbtest";
constexpr const char* kPassword = "Smb-pw-1";
constexpr const char* kJapanese = "日本語フォルダ";

// A throwaway system account for the share, left by no run.
class TestAccount {
  public:
    TestAccount() {
        if (!::getpwnam(kUser))
            platform::runBounded(
                {"useradd", "--system", "--no-create-home", "--shell", "/usr/sbin/nologin", kUser},
                10s);
    }
    ~TestAccount() { platform::runBounded({"userdel", kUser}, 10s); }
    const passwd* entry() const { return ::getpwnam(kUser); }
};

sockaddr_in endpoint(const std::string& address) {
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(445);
    ::inet_pton(AF_INET, address.c_str(), &where.sin_addr);
    return where;
}

// A server on address:445 that misbehaves as told: takes connections and never
// speaks; closes each at once; drops connection attempts (its queue is full);
// or passes each connection's first three requests on to the test smbd and
// then falls silent.
class FakeServer {
  public:
    enum class Kind { silent, closing, full, stalling };

    FakeServer(const std::string& address, Kind kind) : kind_(kind) {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int yes = 1;
        ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        const sockaddr_in where = endpoint(address);
        if (::bind(listener_, reinterpret_cast<const sockaddr*>(&where), sizeof where) != 0 ||
            ::listen(listener_, kind == Kind::full ? 0 : 16) != 0)
            return;
        listening_ = true;
        if (kind_ == Kind::full) {
            // Queued connections nobody takes fill the queue; later ones are dropped.
            for (int i = 0; i < 3; ++i) {
                const int c = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
                ::connect(c, reinterpret_cast<const sockaddr*>(&where), sizeof where);
                held_.push_back(c);
            }
            std::this_thread::sleep_for(100ms);
            return;
        }
        thread_ = std::thread([this] { serve(); });
    }
    ~FakeServer() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        for (const int fd : held_) ::close(fd);
        for (const auto& [client, smbd] : links_) {
            ::close(client);
            ::close(smbd);
        }
        ::close(listener_);
    }
    bool listening() const { return listening_; }

  private:
    void serve() {
        std::map<int, int> passed;
        while (!stop_) {
            std::vector<pollfd> fds = {{listener_, POLLIN, 0}};
            for (const auto& [client, smbd] : links_) {
                fds.push_back({client, POLLIN, 0});
                fds.push_back({smbd, POLLIN, 0});
            }
            if (::poll(fds.data(), fds.size(), 50) <= 0) continue;
            if (fds[0].revents) accept();
            for (size_t i = 1; i < fds.size(); i += 2) {
                auto& [client, smbd] = links_[(i - 1) / 2];
                char buffer[65536];
                bool open = true;
                if (fds[i].revents) {
                    const ssize_t n = ::read(client, buffer, sizeof buffer);
                    open = n > 0;
                    if (open && passed[client]++ < 3) open = ::write(smbd, buffer, n) == n;
                }
                if (open && fds[i + 1].revents) {
                    const ssize_t n = ::read(smbd, buffer, sizeof buffer);
                    open = n > 0 && ::write(client, buffer, n) == n;
                }
                if (!open) {
                    ::close(client);
                    ::close(smbd);
                    client = smbd = -1;
                }
            }
            std::erase_if(links_, [](const auto& link) { return link.first < 0; });
        }
    }

    void accept() {
        const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) return;
        if (kind_ == Kind::closing) {
            ::close(client);
        } else if (kind_ == Kind::silent) {
            held_.push_back(client);
        } else {
            const int smbd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            const sockaddr_in real = endpoint("127.0.0.1");
            ::connect(smbd, reinterpret_cast<const sockaddr*>(&real), sizeof real);
            links_.emplace_back(client, smbd);
        }
    }

    Kind kind_;
    int listener_ = -1;
    bool listening_ = false;
    std::vector<int> held_;
    std::vector<std::pair<int, int>> links_;  // client, smbd
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

template <typename Work>
std::chrono::milliseconds timed(Work work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start);
}

class SmbClientTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (const std::string reason = SambaServer::unavailableReason(); !reason.empty())
            PLENVO_SKIP() << "real-Samba test skipped: " << reason;
        account.emplace();
        ASSERT_NE(account->entry(), nullptr);
        ::chmod(dir.path().c_str(), 0755);
        share = dir.path() / "share";
        std::filesystem::create_directories(share / kJapanese);
        for (const auto& folder : {share, share / kJapanese})
            ASSERT_EQ(::chown(folder.c_str(), account->entry()->pw_uid, account->entry()->pw_gid),
                      0);
        // Anonymous users may not list shares, so a listing shows the sign-in was used.
        server.emplace(dir.path() / "samba",
                       "[global]\nrestrict anonymous = 2\n[Backup]\npath = " + share.string() +
                           "\nread only = no\nvolume = バックアップ\n");
        ASSERT_EQ(server->failure(), "");
        ASSERT_TRUE(server->addUser(kUser, kPassword));
        signIn =
            signInFrom("username = " + std::string(kUser) + "\npassword = " + kPassword + "\n");
        ASSERT_TRUE(signIn.usable());
    }

    platform::NetworkSignIn signInFrom(const std::string& text, mode_t mode = 0600) {
        const auto file = dir.path() / ("SmbAuth" + std::to_string(files++) + ".conf");
        writeBytes(file, text);
        ::chmod(file.c_str(), mode);
        return platform::loadNetworkSignIn(file, failures);
    }

    TempDir dir;
    std::optional<TestAccount> account;
    std::filesystem::path share;
    std::optional<SambaServer> server;
    RecordingFailureLog failures;
    platform::NetworkSignIn signIn;
    int files = 0;
};

TEST_F(SmbClientTest, ReachesFoldersWithTheSignIn) {
    SmbClient client(signIn);
    EXPECT_EQ(client.folderExists("\\\\127.0.0.1\\Backup"), true);
    EXPECT_EQ(client.folderExists("\\\\127.0.0.1\\Backup\\" + std::string(kJapanese)), true);
    EXPECT_EQ(client.folderExists("\\\\127.0.0.1\\Backup\\missing"), false);
    EXPECT_EQ(client.folderExists("\\\\127.0.0.1\\NoSuchShare\\folder"), false);

    const auto drive = client.driveValues("\\\\127.0.0.1\\Backup\\" + std::string(kJapanese));
    ASSERT_TRUE(drive);
    struct statvfs local;
    ASSERT_EQ(::statvfs(share.c_str(), &local), 0);
    const double total = static_cast<double>(local.f_blocks) * local.f_frsize;
    const double free = static_cast<double>(local.f_bavail) * local.f_frsize;
    EXPECT_NEAR(drive->totalBytes, total, total * 0.01);
    EXPECT_NEAR(drive->freeBytes, free, total * 0.03);
    EXPECT_EQ(drive->driveType, platform::kNetwork);
    EXPECT_EQ(drive->volumeName, "バックアップ");
    EXPECT_TRUE(drive->serialNumber);

    // A second write replaces the first whole; no temporary file stays behind.
    const std::string target = "\\\\127.0.0.1\\Backup\\" + std::string(kJapanese) + "\\SRV.ini";
    ASSERT_TRUE(client.writeTextFile(target, "old\r\n"));
    const std::string bytes = "[SRV]\r\nPath=\\\\PC01\\\x93\xfa\x96\x7b\r\n";  // CP932 bytes
    ASSERT_TRUE(client.writeTextFile(target, bytes));
    EXPECT_EQ(readBytes(share / kJapanese / "SRV.ini"), bytes);
    EXPECT_FALSE(client.writeTextFile("\\\\127.0.0.1\\Backup\\missing\\SRV.ini", bytes));
    size_t entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(share / kJapanese))
        ++entries;
    EXPECT_EQ(entries, 1u);
}

TEST_F(SmbClientTest, ARefusedSignInIsNoAnswer) {
    const auto wrong = signInFrom("username = " + std::string(kUser) + "\npassword = wrong\n");
    SmbClient client(wrong, 2s);
    EXPECT_LT(timed([&] { EXPECT_EQ(client.folderExists("\\\\127.0.0.1\\Backup"), std::nullopt); }),
              2s);
    EXPECT_EQ(client.driveValues("\\\\127.0.0.1\\Backup"), std::nullopt);
    EXPECT_FALSE(client.writeTextFile("\\\\127.0.0.1\\Backup\\SRV.ini", "x"));
    EXPECT_FALSE(std::filesystem::exists(share / "SRV.ini"));
}

TEST_F(SmbClientTest, ServersThatDoNotAnswerFailWithinTheLimit) {
    FakeServer silent("127.0.0.2", FakeServer::Kind::silent);
    FakeServer closing("127.0.0.3", FakeServer::Kind::closing);
    FakeServer full("127.0.0.4", FakeServer::Kind::full);
    FakeServer stalling("127.0.0.5", FakeServer::Kind::stalling);
    ASSERT_TRUE(silent.listening() && closing.listening() && full.listening() &&
                stalling.listening());

    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    SmbClient client(signIn, 1s);
    for (const char* server : {"127.0.0.2", "127.0.0.4", "127.0.0.5"}) {
        const auto took = timed([&] {
            EXPECT_EQ(client.folderExists("\\\\" + std::string(server) + "\\Backup"), std::nullopt);
        });
        EXPECT_LE(took, 2s) << server;
    }
    EXPECT_LE(timed([&] { EXPECT_FALSE(client.driveValues("\\\\127.0.0.5\\Backup")); }), 2s);
    EXPECT_LE(timed([&] { EXPECT_FALSE(client.writeTextFile("\\\\127.0.0.5\\Backup\\a", "x")); }),
              2s);

    // Refusing, closing and unknown servers take no waiting at all.
    SmbClient patient(signIn, 5s);
    for (const char* server : {"127.0.0.3", "127.0.0.6", "no-such-host.invalid"}) {
        const auto took = timed([&] {
            EXPECT_EQ(patient.folderExists("\\\\" + std::string(server) + "\\Backup"),
                      std::nullopt);
        });
        EXPECT_LT(took, 1s) << server;
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

    // The cut connections leave the client able to reach an answering server.
    EXPECT_EQ(client.folderExists("\\\\127.0.0.1\\Backup"), true);
}

// libsmbclient 4.17 alone frees one thread's memory under another within a few
// hundred calls.
TEST_F(SmbClientTest, ClientsInSeveralThreadsAllWork) {
    std::atomic<int> failed = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 3; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 4; ++round) {
                SmbClient client(signIn);
                for (int i = 0; i < 25; ++i) {
                    if (client.folderExists("\\\\127.0.0.1\\Backup\\" + std::string(kJapanese)) !=
                        true)
                        ++failed;
                    if (!client.writeTextFile("\\\\127.0.0.1\\Backup\\t" + std::to_string(t),
                                              std::to_string(i)))
                        ++failed;
                }
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(failed, 0);
    EXPECT_EQ(readBytes(share / "t2"), "24");

    // Clients take turns in libsmbclient, but a silent server keeps nobody waiting.
    FakeServer silent("127.0.0.2", FakeServer::Kind::silent);
    ASSERT_TRUE(silent.listening());
    std::thread waiting([&] {
        SmbClient client(signIn, 3s);
        EXPECT_EQ(client.folderExists("\\\\127.0.0.2\\Backup"), std::nullopt);
    });
    std::this_thread::sleep_for(200ms);
    SmbClient client(signIn);
    int answered = 0;
    const auto took = timed([&] {
        for (int i = 0; i < 10; ++i)
            answered += client.folderExists("\\\\127.0.0.1\\Backup") == true;
    });
    EXPECT_EQ(answered, 10);
    EXPECT_LT(took, 1s);
    waiting.join();
}

TEST_F(SmbClientTest, SharesAreListedWithTheSignIn) {
    const auto shares = platform::enumerateShares("127.0.0.1", signIn);
    const auto backup = std::find_if(shares.begin(), shares.end(),
                                     [](const auto& s) { return s.name == "Backup"; });
    ASSERT_NE(backup, shares.end());
    std::string windowsPath = "C:" + share.string();
    std::replace(windowsPath.begin(), windowsPath.end(), '/', '\\');
    EXPECT_EQ(backup->path, windowsPath);

    // A file others may read is told once and not used: anonymous sees nothing.
    failures.lines.clear();
    const auto open =
        signInFrom("username = " + std::string(kUser) + "\npassword = " + kPassword + "\n", 0644);
    EXPECT_EQ(failures.lines.size(), 1u);
    EXPECT_TRUE(platform::enumerateShares("127.0.0.1", open).empty());
    const auto wrong = signInFrom("username = " + std::string(kUser) + "\npassword = wrong\n");
    const auto refused = platform::enumerateSharesOrSilence("127.0.0.1", wrong);
    ASSERT_TRUE(refused);  // the server answered
    EXPECT_TRUE(refused->empty());

    // A server that is not there is silence, told at once.
    FakeServer closing("127.0.0.3", FakeServer::Kind::closing);
    for (const char* server : {"127.0.0.3", "no-such-host.invalid"}) {
        const auto took = timed(
            [&] { EXPECT_EQ(platform::enumerateSharesOrSilence(server, signIn), std::nullopt); });
        EXPECT_LT(took, 1s) << server;
    }
}

TEST_F(SmbClientTest, AnyNumberOfSilentServersCostOneWaitTogether) {
    // More than the sixteen listings asked at a time: four turns of 5 s before.
    std::vector<std::unique_ptr<FakeServer>> silent;
    std::vector<std::string> servers = {"127.0.0.1"};
    for (int i = 1; i <= 64; ++i) {
        servers.push_back("127.0.1." + std::to_string(i));
        silent.push_back(std::make_unique<FakeServer>(servers.back(), FakeServer::Kind::silent));
        ASSERT_TRUE(silent.back()->listening()) << servers.back();
    }
    servers.push_back("no-such-host.invalid");
    platform::ShareLookup pass(signIn);
    EXPECT_LT(timed([&] { pass.askAll(servers); }), 9s);
    EXPECT_FALSE(pass.isSilent("127.0.0.1"));
    EXPECT_TRUE(pass.find("127.0.0.1", "Backup").has_value());
    for (std::size_t i = 1; i < servers.size(); ++i) EXPECT_TRUE(pass.isSilent(servers[i])) << i;
}

// The console's own check pass against a server it reaches only over SMB, as
// it signs in with the base folder's SmbAuth.conf.
TEST_F(SmbClientTest, ACheckPassSeesTheOtherServersFoldersAndDrive) {
    TempDir base;
    std::filesystem::create_directories(base.path() / "HTM");
    ASSERT_TRUE(store::installMngDatabase(base.path() / "Mng.mdb"));
    writeBytes(base.path() / "SmbAuth.conf",
               "username = " + std::string(kUser) + "\npassword = " + kPassword + "\n");
    ::chmod((base.path() / "SmbAuth.conf").c_str(), 0600);
    std::filesystem::create_directories(share / "PC01");
    FakeClock clock;
    const platform::RunContext ctx{platform::BaseFolder(base.path()), clock, failures};
    {
        auto db = store::openMng(ctx.base);
        auto add = db.prepare(
            "INSERT INTO UserLog (ComNM, UserID, ToBkup, UPDT) VALUES (?1, 'u', ?2, ?3)");
        for (const char* pc : {"PC01", "PC02"})
            add.reset(), add.bind(1, std::string(pc))
                             .bind(2, "\\\\127.0.0.1\\Backup\\" + std::string(pc))
                             .bind(3, store::storedText(clock.now()))
                             .run();
    }

    platform::ShareLookup pass(platform::loadNetworkSignIn(base.path() / "SmbAuth.conf", failures));
    intake::surveyShareDrives(ctx, {}, &pass);
    intake::checkDestinations(ctx, {}, &pass);
    pages::writeShareDrivePage(ctx);

    auto db = store::openMng(ctx.base);
    auto codes = db.prepare("SELECT ComNM, ErNo FROM UserLog ORDER BY ComNM");
    std::map<std::string, std::string> erNo;
    while (codes.step()) erNo[*codes.text(0)] = codes.text(1).value_or("");
    EXPECT_EQ(test::codesLessAFullMachineDisk(erNo["PC01"], share), "");
    EXPECT_EQ(test::codesLessAFullMachineDisk(erNo["PC02"], share), "08");
    auto drive = db.prepare("SELECT SharePath, DrvSize, UsageVate, DrvType FROM ShareDriveInfo");
    ASSERT_TRUE(drive.step());
    EXPECT_EQ(drive.text(0).value_or(""), "\\\\127.0.0.1\\Backup");
    EXPECT_GT(drive.number(1).value_or(0), 0);
    EXPECT_TRUE(drive.number(2));
    EXPECT_EQ(drive.integer(3).value_or(-1), platform::kNetwork);
    const std::string page = platform::decodeCp932(readBytes(base.path() / "HTM" / "DiskChk.htm"));
    EXPECT_NE(page.find("\\\\127.0.0.1\\Backup"), std::string::npos);
    EXPECT_NE(page.find("KB ("), std::string::npos);
    EXPECT_NE(page.find("%"), std::string::npos);
}

}  // namespace
}  // namespace plenvo::test
