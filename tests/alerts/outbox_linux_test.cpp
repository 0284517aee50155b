#include <chrono>
#include <map>
#include <set>

#include "alerts_fixture.h"
#include "smtp_sink.h"
#include "support/skip.h"

namespace plenvo::alerts {
namespace {

using test::SmtpSink;
using Steady = std::chrono::steady_clock;

// The mail outbox against servers that misbehave, with timeouts of a second
// or two in place of RFC 5321's minutes.
class Outbox : public AlertsTest {
  protected:
    void SetUp() override {
        if (const std::string why = SmtpSink::unavailableReason(); !why.empty())
            PLENVO_SKIP() << why;
    }
    std::unique_ptr<SmtpSink> startSink(const std::string& mode = "") {
        auto sink =
            std::make_unique<SmtpSink>(dir.path() / ("sink" + std::to_string(++sinks)), 0, mode);
        EXPECT_EQ(sink->failure(), "");
        return sink;
    }
    DeliveryLimits quick(std::chrono::milliseconds messageEnd) {
        DeliveryLimits limits;
        limits.session = std::chrono::seconds(30);
        limits.timeouts = {std::chrono::seconds(1), messageEnd};
        return limits;
    }
    void laterBy(int minutes) {
        platform::LocalTime t = clock.now();
        t.minute += minutes;
        t.hour += t.minute / 60;
        t.minute %= 60;
        clock.set(t);
    }
    // How often the server took each message, by Message-ID.
    static std::map<std::string, int> copies(const SmtpSink& sink) {
        std::map<std::string, int> out;
        for (const auto& mail : sink.mails()) {
            const size_t at = mail.headers.find("Message-ID: ");
            out[at == std::string::npos
                    ? ""
                    : mail.headers.substr(at + 12, mail.headers.find("\r\n", at) - at - 12)]++;
        }
        return out;
    }
    int sinks = 0;
};

TEST_F(Outbox, AServerSilentAfterTheMessageGetsItTwiceAtMostAndHoldsTheSenderOneWaitATry) {
    auto sink = startSink("silent");
    mailIni(sink->port());
    agent("PC01", "u1", "14");
    EXPECT_EQ(queueMailAlerts(ctx).queued, 1u);

    for (int turn = 0; turn < 5; ++turn) {
        const auto started = Steady::now();
        deliverMail(ctx, quick(std::chrono::seconds(2)));
        EXPECT_LT(Steady::now() - started, std::chrono::seconds(5)) << turn;
        laterBy(60);
    }
    ASSERT_EQ(sink->mails().size(), 2u) << "twice, never five times";
    EXPECT_EQ(copies(*sink).size(), 1u) << "the same Message-ID both times";
    EXPECT_EQ(outbox()[0].substr(0, 4), "2/2 ");
    EXPECT_NE(outbox()[0].find("given up"), std::string::npos);
    ASSERT_EQ(failures.lines.size(), 2u);
    EXPECT_NE(failures.lines[1].find("given up: the server may have taken it"), std::string::npos)
        << failures.lines[1];
}

TEST_F(Outbox, AServerSlowToTakeTheMessageGetsItOnceForTheEndHasItsOwnLongerWait) {
    auto sink = startSink("slow:2.5");
    mailIni(sink->port());
    agent("PC01", "u1", "14");
    agent("PC02", "u1", "15");
    queueMailAlerts(ctx);
    // Every other reply may take a second only.
    const Delivery done = deliverMail(ctx, quick(std::chrono::seconds(10)));
    EXPECT_EQ(done.sent, 2u);
    EXPECT_FALSE(done.failed);
    EXPECT_EQ(done.waiting, 0u);
    laterBy(60);
    EXPECT_EQ(deliverMail(ctx, quick(std::chrono::seconds(10))).sent, 0u);
    EXPECT_EQ(sink->mails().size(), 2u);
    EXPECT_EQ(sink->connections(), 1);
    EXPECT_TRUE(failures.lines.empty());
}

TEST_F(Outbox, AServerThatHangsUpMidSessionGetsEveryMailOnceAfterRetries) {
    auto sink = startSink("drop");
    mailIni(sink->port());
    for (const char* host : {"PC01", "PC02", "PC03"}) agent(host, "u1", "14");
    queueMailAlerts(ctx);
    Delivery done;
    for (int turn = 0; turn < 6 && (turn == 0 || done.waiting > 0); ++turn) {
        done = deliverMail(ctx, quick(std::chrono::seconds(2)));
        laterBy(5);
    }
    EXPECT_EQ(done.waiting, 0u);
    const auto taken = copies(*sink);
    EXPECT_EQ(taken.size(), 3u);
    for (const auto& [id, count] : taken) EXPECT_EQ(count, 1) << id;
    EXPECT_EQ(failures.lines.size(), 2u) << "one failed try a turn";
}

TEST_F(Outbox, AgentsOfOneSilentServerShareAMailWithLinksToTheirPages) {
    auto sink = startSink();
    mailIni(sink->port(), {"WebUrl=https://backup.example.jp:8443/"});
    agent("PC 01", "山田/u", "08");
    agent("PC02", "u2", "08");
    agent("PC03", "u3", "08");
    agent("PC04", "u4", "14");
    destination("PC 01", "\\\\SRV09\\Backup\\PC01");
    destination("PC02", "\\\\srv09\\Backup\\PC02");
    destination("PC03", "\\\\no-such-name\\Backup\\PC03");

    const AlertPass pass = sendMailAlerts(ctx);
    EXPECT_EQ(pass.due, 4u);
    EXPECT_EQ(pass.sent, 3u);
    auto mails = sink->mails();
    ASSERT_EQ(mails.size(), 3u);
    EXPECT_EQ(mails[0].subject, "[Plenvo] \\\\SRV09 のバックアップ先に接続できません (2 台)");
    for (const char* part : {"PC 01 (山田/u) 山田: \\\\SRV09\\Backup\\PC01",
                             "https://backup.example.jp:8443/agents/PC%2001/%E5%B1%B1%E7%94%B0%2Fu",
                             "PC02 (u2) 山田: \\\\srv09\\Backup\\PC02"})
        EXPECT_NE(mails[0].body.find(part), std::string::npos) << part << "\n" << mails[0].body;
    EXPECT_NE(mails[1].subject.find("PC03 (u3)"), std::string::npos);
    EXPECT_NE(mails[2].body.find("バックアップ状況: https://backup.example.jp:8443/agents/PC04/u4"),
              std::string::npos)
        << mails[2].body;
    // Every mail has its own Message-ID and a Date.
    std::set<std::string> ids;
    for (const auto& mail : mails) {
        EXPECT_NE(mail.headers.find("\r\nDate: "), std::string::npos) << mail.headers;
        const size_t at = mail.headers.find("\r\nMessage-ID: <");
        ASSERT_NE(at, std::string::npos) << mail.headers;
        const std::string id = mail.headers.substr(at, mail.headers.find("\r\n", at + 2) - at);
        EXPECT_NE(id.find("@example.jp>"), std::string::npos) << id;
        ids.insert(id);
    }
    EXPECT_EQ(ids.size(), 3u);

    // The server answers again: one mail says so for both.
    codes("PC 01", "");
    codes("PC02", "");
    EXPECT_EQ(sendMailAlerts(ctx).sent, 1u);
    EXPECT_EQ(sink->mails().back().subject,
              "[Plenvo] \\\\SRV09 のバックアップ先に再び接続できます (2 台)");
}

}  // namespace
}  // namespace plenvo::alerts
