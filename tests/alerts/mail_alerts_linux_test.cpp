#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "alerts_fixture.h"
#include "app/console.h"
#include "app/pass_worker.h"
#include "smtp_sink.h"
#include "support/skip.h"

namespace plenvo::alerts {
namespace {

namespace fs = std::filesystem;
using test::SmtpSink;

constexpr const char* k14 = "バックアップ中にエラーが発生しました";
constexpr const char* k15 = "7日以上バックアップの報告がありません";

// A listener on loopback that nobody answers for; -1 when none could be made.
int quietListener() {
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&where), sizeof where) != 0 ||
        ::listen(listener, 16) != 0)
        return -1;
    return listener;
}

int portOf(int listener) {
    sockaddr_in where{};
    socklen_t size = sizeof where;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&where), &size);
    return ntohs(where.sin_port);
}

class MailDelivery : public AlertsTest {
  protected:
    void SetUp() override {
        if (const std::string why = SmtpSink::unavailableReason(); !why.empty())
            PLENVO_SKIP() << why;
    }
    std::unique_ptr<SmtpSink> startSink(int port = 0) {
        auto sink =
            std::make_unique<SmtpSink>(dir.path() / ("sink" + std::to_string(++sinks)), port);
        EXPECT_EQ(sink->failure(), "");
        return sink;
    }
    int sinks = 0;
};

TEST_F(MailDelivery, NewCodesAreToldOnceAndTheLastOneGoingIsARecovery) {
    auto sink = startSink();
    mailIni(sink->port());
    agent("PC01", "u1", "14");

    EXPECT_EQ(sendMailAlerts(ctx).sent, 1u);
    auto mails = sink->mails();
    ASSERT_EQ(mails.size(), 1u);
    EXPECT_EQ(mails[0].subject, std::string("[Plenvo] PC01 (u1): 「") + k14 + "」");
    EXPECT_EQ(mails[0].recipients,
              (std::vector<std::string>{"admin1@example.jp", "admin2@example.jp"}));
    for (const std::string& part :
         {std::string("ホスト名: PC01"), std::string("ユーザー名: 山田"),
          std::string("最終報告日時: 2009/10/01 9:05:03"),
          std::string("バックアップ先: \\\\SRV01\\Backup\\PC01"), std::string("14 ") + k14,
          (dir.path() / "HTM" / "Index.htm").string()})
        EXPECT_NE(mails[0].body.find(part), std::string::npos) << part << "\n" << mails[0].body;

    // A code that stays is not told again, also after a restart (nothing is held in memory).
    EXPECT_EQ(sendMailAlerts(ctx).due, 0u);
    EXPECT_EQ(told("PC01"), "14");

    codes("PC01", "14,15");
    EXPECT_EQ(sendMailAlerts(ctx).sent, 1u);
    mails = sink->mails();
    ASSERT_EQ(mails.size(), 2u);
    EXPECT_EQ(mails[1].subject, std::string("[Plenvo] PC01 (u1): 「") + k15 + "」");
    EXPECT_NE(mails[1].body.find(std::string("14 ") + k14), std::string::npos);
    EXPECT_NE(mails[1].body.find(std::string("15 ") + k15 + " (新規)"), std::string::npos);

    // One goes: no mail; it comes back: news again.
    codes("PC01", ",15");
    EXPECT_EQ(sendMailAlerts(ctx).sent, 0u);
    codes("PC01", "15,14");
    EXPECT_EQ(sendMailAlerts(ctx).sent, 1u);
    EXPECT_EQ(sink->mails().back().subject, std::string("[Plenvo] PC01 (u1): 「") + k14 + "」");

    codes("PC01", ",");
    EXPECT_EQ(sendMailAlerts(ctx).sent, 1u);
    EXPECT_EQ(sink->mails().back().subject, "[Plenvo] PC01 (u1): 「復旧しました」");
    EXPECT_NE(sink->mails().back().body.find("エラー: なし"), std::string::npos);
    EXPECT_EQ(sendMailAlerts(ctx).sent, 0u);
    EXPECT_EQ(sink->mails().size(), 4u);
    EXPECT_TRUE(failures.lines.empty());
}

TEST_F(MailDelivery, AFirstStartOverTenThousandRowsSendsFiftyAndOneSummary) {
    auto sink = startSink();
    mailIni(sink->port());
    {
        auto db = store::openMng(ctx.base);
        store::Transaction tx(db);
        auto insert = db.prepare("INSERT INTO UserLog (ComNM, UserID, ErNo) VALUES (?1, 'u', ?2)");
        for (int i = 0; i < 10000; ++i) {
            // The last one has a code without a text of its own.
            insert.bind(1, "PC" + std::to_string(i))
                .bind(2, std::string(i == 9999 ? "99" : "14"))
                .run();
            insert.reset();
        }
        tx.commit();
    }
    const AlertPass first = sendMailAlerts(ctx);
    EXPECT_EQ(first.sent, 51u);
    EXPECT_EQ(first.summarized, 9950u);
    EXPECT_EQ(sink->connections(), 1);
    const auto mails = sink->mails();
    ASSERT_EQ(mails.size(), 51u);
    EXPECT_EQ(mails[50].subject, "[Plenvo] ほか 9950 件の通知");
    EXPECT_NE(mails[50].body.find("PC9998 (u): 「バックアップ中にエラーが発生しました」"),
              std::string::npos);
    EXPECT_NE(mails[50].body.find("PC9999 (u): 「エラー 99」"), std::string::npos);
    EXPECT_EQ(mails[50].body.find("PC49 (u)"), std::string::npos) << "told on its own";
    EXPECT_EQ(sendMailAlerts(ctx).due, 0u);
}

TEST_F(MailDelivery, AServerThatWasDownGetsTheMailLaterOnce) {
    const int port = SmtpSink::freePort();
    mailIni(port);
    agent("PC01", "u1", "14");
    agent("PC02", "u1", "08");
    const AlertPass down = sendMailAlerts(ctx);
    EXPECT_TRUE(down.failed);
    EXPECT_EQ(failures.lines.size(), 1u) << "one line for the pass, not one per mail";

    auto sink = startSink(port);
    EXPECT_EQ(sendMailAlerts(ctx).sent, 0u) << "waits its minute";
    clock.set({2009, 10, 1, 9, 6, 3});
    const AlertPass up = sendMailAlerts(ctx);
    EXPECT_FALSE(up.failed);
    EXPECT_EQ(up.sent, 2u);
    EXPECT_EQ(sendMailAlerts(ctx).sent, 0u);
    EXPECT_EQ(sink->mails().size(), 2u);
    EXPECT_EQ(failures.lines.size(), 1u);
}

TEST_F(MailDelivery, AServerThatNeverAnswersCostsThePassOneDeadline) {
    // Connections land in the backlog and never hear a greeting.
    const int listener = quietListener();
    ASSERT_GE(listener, 0);
    mailIni(portOf(listener));
    for (int i = 0; i < 5; ++i) agent("PC" + std::to_string(i), "u1", "14");

    const auto started = std::chrono::steady_clock::now();
    const AlertPass pass = sendMailAlerts(ctx, std::chrono::seconds(1));
    const auto took = std::chrono::steady_clock::now() - started;
    ::close(listener);
    EXPECT_TRUE(pass.failed);
    EXPECT_LT(took, std::chrono::seconds(3));
    EXPECT_EQ(failures.lines.size(), 1u);
    EXPECT_EQ(outbox().size(), 5u);
    EXPECT_EQ(outbox()[0], "1/0 2009-10-01 09:06:03 waiting");
}

TEST_F(MailDelivery, EachReplyHasItsOwnTimeoutWithinTheSession) {
    const int listener = quietListener();
    ASSERT_GE(listener, 0);
    mailIni(portOf(listener));
    agent("PC01", "u1", "14");
    queueMailAlerts(ctx);
    DeliveryLimits limits;
    limits.timeouts.reply = std::chrono::seconds(1);
    const auto started = std::chrono::steady_clock::now();
    EXPECT_TRUE(deliverMail(ctx, limits).failed);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(4));
    ::close(listener);
    ASSERT_EQ(failures.lines.size(), 1u);
    EXPECT_NE(failures.lines[0].find("応答しませんでした"), std::string::npos) << failures.lines[0];
    EXPECT_EQ(outbox()[0], "1/0 2009-10-01 09:06:03 waiting") << "the message never went";
}

TEST_F(MailDelivery, HostileValuesNeverReachTheHeaders) {
    auto sink = startSink();
    mailIni(sink->port(), {"NotifyUsers=1"});
    agent("PC01\r\nBcc: victim@example.jp", "u1\nX-Evil: 1", "14",
          "victim2@example.jp>\r\nRCPT TO:<victim3@example.jp");
    agent("PC02", "u2", "14", "yamada@example.jp");

    EXPECT_EQ(sendMailAlerts(ctx).sent, 2u);
    const auto mails = sink->mails();
    ASSERT_EQ(mails.size(), 2u);
    EXPECT_EQ(mails[0].recipients,
              (std::vector<std::string>{"admin1@example.jp", "admin2@example.jp"}));
    EXPECT_EQ(mails[0].headers.find("victim"), std::string::npos) << mails[0].headers;
    EXPECT_EQ(mails[0].headers.find("\nX-Evil"), std::string::npos) << mails[0].headers;
    EXPECT_EQ(mails[0].subject.rfind("[Plenvo] PC01  Bcc: victim@example.jp (u1 X-Evil: 1): ", 0),
              0u)
        << mails[0].subject;
    // A user's own plain address gets the same mail.
    EXPECT_EQ(
        mails[1].recipients,
        (std::vector<std::string>{"admin1@example.jp", "admin2@example.jp", "yamada@example.jp"}));
}

TEST_F(MailDelivery, TheTestMailGoesWithTheValuesAsTheyStand) {
    auto sink = startSink();
    MailSettings settings;
    settings.server = "127.0.0.1";
    settings.port = sink->port();
    settings.security = platform::MailSecurity::none;
    settings.to = "admin@example.jp";
    const auto result = sendTestMail(settings, "SRV01");
    EXPECT_TRUE(result.sent) << result.error;
    ASSERT_EQ(sink->mails().size(), 1u);
    EXPECT_EQ(sink->mails()[0].subject, "[Plenvo] テストメール");

    // Saved readable by its owner only: it may hold a password.
    saveMailSettings(dir.path() / "Mail.ini", settings);
    struct stat st {};
    ASSERT_EQ(::stat((dir.path() / "Mail.ini").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    // Made readable by others by hand: refused, and told with the fix; no mail goes.
    ::chmod((dir.path() / "Mail.ini").c_str(), 0644);
    agent("PC01", "u1", "14");
    EXPECT_EQ(sendMailAlerts(ctx).due, 0u);
    ASSERT_EQ(failures.lines.size(), 1u);
    EXPECT_NE(failures.lines[0].find("Mail.ini is open to group or others (mode 0644); it is not "
                                     "used until only its owner may read it (chmod 600)"),
              std::string::npos)
        << failures.lines[0];
    EXPECT_TRUE(sink->mails().size() == 1u);
}

class RecordingShares final : public platform::ShareService {
  public:
    platform::ShareOutcome addShare(const std::string&, const std::filesystem::path&) override {
        return {};
    }
    void grantAccess(const std::filesystem::path&) override {}
    platform::UnshareOutcome removeShare(const std::string&,
                                         const std::filesystem::path&) override {
        return {};
    }
};

TEST_F(MailDelivery, TheConsolesPassesSendOnceForAReportAndOnceForACheck) {
    auto sink = startSink();
    mailIni(sink->port());
    const fs::path rst = dir.path() / "OrvShare" / "RST";
    fs::create_directories(rst);
    test::writeCp932Lines(rst / "PC01_u1.TXT", {"ComNM=PC01", "UserID=u1", "UserName=山田",
                                                "ErNo=14", "UPDT=2009/10/01 9:05:03"});
    test::TempDir home;
    app::StartupValues values;
    values.computerName = "SRV01";
    values.startupFolder = (home.path() / "autostart").string();
    values.allUsersStartupFolder = (home.path() / "xdg-autostart").string();
    values.workingFolder = home.path().string();
    app::IconAnimation animation{"1.0.4"};
    RecordingShares shares;
    app::Console console{ctx, animation, nullptr, &shares};

    console.startUp(values);  // an import pass and a check pass
    ASSERT_EQ(sink->mails().size(), 1u);
    EXPECT_EQ(sink->mails()[0].subject, std::string("[Plenvo] PC01 (u1): 「") + k14 + "」");
    console.Timer1();
    console.Timer1();  // the next import pass
    EXPECT_EQ(sink->mails().size(), 1u);

    clock.set({2009, 10, 8, 9, 0, 0});
    for (int tick = 0; tick < 11; ++tick) console.Timer2();  // a check pass that adds 15
    ASSERT_EQ(sink->mails().size(), 2u);
    EXPECT_EQ(sink->mails()[1].subject, std::string("[Plenvo] PC01 (u1): 「") + k15 + "」");
    EXPECT_TRUE(failures.lines.empty()) << failures.lines[0];
}

TEST_F(MailDelivery, NoPassWaitsOnAMailServerThatTakesItsTime) {
    // A server that takes connections and says nothing for three seconds, then hangs up.
    const int listener = quietListener();
    ASSERT_GE(listener, 0);
    std::thread server([listener] {
        const int taken = ::accept(listener, nullptr, nullptr);
        std::this_thread::sleep_for(std::chrono::seconds(3));
        if (taken >= 0) ::close(taken);
    });
    mailIni(portOf(listener));
    const fs::path rst = dir.path() / "OrvShare" / "RST";
    fs::create_directories(rst);
    test::writeCp932Lines(rst / "PC01_u1.TXT", {"ComNM=PC01", "UserID=u1", "ErNo=14"});
    test::TempDir home;
    app::StartupValues values;
    values.startupFolder = (home.path() / "autostart").string();
    RecordingShares shares;
    app::IconAnimation animation{"1.0.4"};
    app::PassWorker sender;
    {
        app::Console console{ctx, animation, nullptr, &shares,
                             app::withMailSender(app::WorkPlaces{}, sender)};
        const auto started = std::chrono::steady_clock::now();
        console.startUp(values);  // both passes, on this thread
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
        EXPECT_FALSE(sender.idle()) << "the mail waits on its own sender";
        EXPECT_TRUE(sender.finish(std::chrono::seconds(20)));
    }
    server.join();
    ::close(listener);
    EXPECT_EQ(outbox(), std::vector<std::string>{"1/0 2009-10-01 09:06:03 waiting"})
        << "not accepted: still waiting";
}

}  // namespace
}  // namespace plenvo::alerts
