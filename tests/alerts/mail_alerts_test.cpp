#include "alerts/alert_plan.h"
#include "alerts_fixture.h"
#include "settings/setting_actions.h"

namespace plenvo::alerts {
namespace {

TEST_F(AlertsTest, WithoutUsableSettingsNothingIsQueuedOrKept) {
    agent("PC01", "u1", "14");
    EXPECT_EQ(queueMailAlerts(ctx).due, 0u);  // no Mail.ini
    writeMailIni({"[Mail]", "Server=127.0.0.1"});
    EXPECT_EQ(queueMailAlerts(ctx).due, 0u);  // no administrator
    EXPECT_TRUE(failures.lines.empty());
    EXPECT_EQ(told("PC01"), "<none>");
    EXPECT_TRUE(outbox().empty());

    writeMailIni({"[Mail]", "Server=127.0.0.1", "To=a@example.jp", "Security=ssl"});
    EXPECT_EQ(sendMailAlerts(ctx).due, 0u);
    ASSERT_EQ(failures.lines.size(), 1u) << "told by the queueing only";
    EXPECT_NE(failures.lines[0].find("Security=ssl"), std::string::npos);
}

TEST_F(AlertsTest, FailedTriesWaitLongerEachTimeUpToAnHourAndHoldTheOthersBack) {
    // Nobody listens on port 1 of this machine.
    mailIni(1);
    agent("PC00", "u1", "14");
    agent("PC01", "u1", "14");
    const AlertPass queued = queueMailAlerts(ctx);
    EXPECT_EQ(queued.queued, 2u);
    EXPECT_EQ(told("PC00"), "14") << "queued counts as told";
    EXPECT_EQ(queueMailAlerts(ctx).due, 0u);

    Delivery first = deliverMail(ctx);
    EXPECT_TRUE(first.failed);
    EXPECT_EQ(first.waiting, 2u);
    EXPECT_EQ(outbox(), (std::vector<std::string>{"1/0 2009-10-01 09:06:03 waiting",
                                                  "0/0 2009-10-01 09:06:03 waiting"}));
    ASSERT_EQ(failures.lines.size(), 1u);
    EXPECT_NE(failures.lines[0].find("tried again at 2009/10/01 9:06:03"), std::string::npos)
        << failures.lines[0];
    // Before its time nothing is tried, nor told; the table holds the time across a restart.
    EXPECT_FALSE(deliverMail(ctx).failed);
    EXPECT_EQ(failures.lines.size(), 1u);

    // Each turn tries the mail tried least first, so each fails once in turn.
    const std::vector<int> waits = {1, 1, 2, 2, 4, 4, 8, 8, 16, 16, 32, 32, 60, 60, 60};
    std::vector<int> seen;
    platform::LocalTime now = clock.now();
    for (size_t i = 1; i < waits.size(); ++i) {
        now.minute += waits[i - 1];
        while (now.minute >= 60) now.minute -= 60, ++now.hour;
        clock.set(now);
        EXPECT_TRUE(deliverMail(ctx).failed) << i;
    }
    EXPECT_EQ(failures.lines.size(), waits.size());
    EXPECT_EQ(outbox()[0].substr(0, 4), "8/0 ");
    EXPECT_EQ(retryMinutes(1), 1);
    EXPECT_EQ(retryMinutes(6), 32);
    EXPECT_EQ(retryMinutes(7), 60);
    EXPECT_EQ(retryMinutes(100), 60);
}

TEST_F(AlertsTest, ClearingIsNoRecoveryAndCodesBackAfterItAreNoNews) {
    mailIni(1);
    agent("PC01", "u1", "14");
    agent("PC02", "u1", "08");
    agent("PC03", "u1", "");
    EXPECT_EQ(queueMailAlerts(ctx).queued, 2u);

    ASSERT_EQ(settings::clearErrors(ctx).kind, settings::SettingResult::Kind::done);
    EXPECT_EQ(queueMailAlerts(ctx).due, 0u) << "no recovery mails";
    EXPECT_EQ(told("PC01"), "14");
    // The passes put the codes back.
    codes("PC01", "14");
    codes("PC02", "08");
    EXPECT_EQ(queueMailAlerts(ctx).due, 0u) << "codes back are no news";

    // A code the agent never had is news, and only it.
    codes("PC01", "14,15");
    const AlertPass fresh = queueMailAlerts(ctx);
    EXPECT_EQ(fresh.queued, 1u);
    EXPECT_EQ(told("PC01"), "14,15");

    // Cleared again, and the agent's next report has no codes: that recovery is its own.
    ASSERT_EQ(settings::clearErrors(ctx).kind, settings::SettingResult::Kind::done);
    EXPECT_EQ(queueMailAlerts(ctx).due, 0u);
    reported("PC01", "2009-10-02 09:00:00", "");
    EXPECT_EQ(queueMailAlerts(ctx).queued, 1u);
    EXPECT_EQ(told("PC01"), "");
    // PC02 reports with its code: remembered, no mail.
    reported("PC02", "2009-10-02 09:00:00", "08");
    EXPECT_EQ(queueMailAlerts(ctx).due, 0u);
    codes("PC02", "");
    EXPECT_EQ(queueMailAlerts(ctx).queued, 1u) << "a code that went by itself is a recovery";
    EXPECT_EQ(outbox().size(), 5u);
}

TEST_F(AlertsTest, AnOlderDatabaseGainsTheOutboxAndKeepsWhatWasTold) {
    {
        auto db = store::openMng(ctx.base);
        db.exec(
            "CREATE TABLE MailSent (ComNM TEXT, UserID TEXT, Codes TEXT, SentAt DATETIME);"
            "CREATE UNIQUE INDEX MailSent_Key ON MailSent (ComNM, UserID);"
            "INSERT INTO MailSent VALUES ('PC01', 'u1', '14', '2009-09-30 08:00:00');");
    }
    mailIni(1);
    agent("PC01", "u1", "14,15");
    agent("PC02", "u1", "14");
    // Cleared before the alerts ever ran on it: no recovery, nothing lost.
    ASSERT_EQ(settings::clearErrors(ctx).kind, settings::SettingResult::Kind::done);
    codes("PC01", "14");
    EXPECT_EQ(queueMailAlerts(ctx).queued, 0u);
    codes("PC01", "14,15");
    codes("PC02", "14");
    EXPECT_EQ(queueMailAlerts(ctx).queued, 2u);
    EXPECT_EQ(outbox().size(), 2u);
    EXPECT_EQ(told("PC01"), "14,15");
}

DueAlert problem(const std::string& host, const std::string& destination,
                 std::vector<std::string> fresh) {
    DueAlert alert;
    alert.row.host = host;
    alert.row.user = "u";
    alert.row.destination = destination;
    alert.newCodes = std::move(fresh);
    return alert;
}

TEST(MailPlan, AgentsThatLostOneServerOrDriveShareOneMail) {
    EXPECT_EQ(causePlace("\\\\SRV09\\Backup\\PC01"), "\\\\SRV09");
    EXPECT_EQ(causePlace("//srv09/Other"), "\\\\srv09");
    EXPECT_EQ(causePlace("d:\\Backup\\PC01"), "D:");
    EXPECT_EQ(causePlace("Backup\\PC01"), "");

    DueAlert back = problem("PC07", "\\\\SRV10\\Backup", {});
    back.kind = AlertKind::recovery;
    back.told = {"08"};
    DueAlert backToo = back;
    backToo.row.host = "PC08";
    const std::vector<DueAlert> due = {
        problem("PC01", "\\\\SRV09\\Backup\\PC01", {"08"}),
        problem("PC02", "\\\\srv09\\Other\\PC02", {"08", "14"}),
        problem("PC03", "\\\\SRV10\\Backup\\PC03", {"08"}),
        problem("PC04", "\\\\SRV09\\Backup\\PC04", {"14"}),
        problem("PC05", "\\\\unknown-name\\Backup", {"08"}),
        back,
        backToo,
    };
    const auto mails = planMails(due);
    std::vector<std::string> shown;
    for (const PlannedMail& mail : mails) {
        std::string line = mail.place.empty() ? "one:" : mail.place + ":";
        for (const DueAlert& alert : mail.alerts) {
            line += " " + alert.row.host;
            for (const std::string& code : alert.newCodes) line += "." + code;
        }
        shown.push_back(line);
    }
    EXPECT_EQ(shown, (std::vector<std::string>{"\\\\SRV09: PC01.08 PC02.08.14", "one: PC02.14",
                                               "one: PC03.08", "one: PC04.14", "one: PC05.08",
                                               "\\\\SRV10: PC07 PC08"}));
}

}  // namespace
}  // namespace plenvo::alerts
