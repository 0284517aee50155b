#include <gtest/gtest.h>

#include "alerts/mail_alerts.h"
#include "alerts_fixture.h"
#include "smtp_sink.h"
#include "support/skip.h"

namespace plenvo::alerts {
namespace {

using test::SmtpSink;

class DailySummary : public AlertsTest {
  protected:
    void SetUp() override {
        if (const std::string why = SmtpSink::unavailableReason(); !why.empty())
            PLENVO_SKIP() << why;
    }
    bool sendAt(int day, int hour, int minute) {
        clock.set({2009, 10, day, hour, minute, 0});
        const bool usable = queueDailySummary(ctx, passes);
        deliverMail(ctx);
        return usable;
    }
    const std::vector<PassLine> passes = {
        {"import", 1.5, platform::LocalTime{2009, 10, 2, 8, 0, 0}},
        {"checks", std::nullopt, std::nullopt}};
};

TEST_F(DailySummary, OnceADayAtItsTimeOrTheNextStartThatDayWithWhatNeedsTheAdministrator) {
    SmtpSink sink(dir.path() / "sink");
    ASSERT_EQ(sink.failure(), "");
    mailIni(sink.port(), {"SummaryAt=08:30"});
    agent("PC01", "u1", "");
    agent("PC02", "u2", "14");
    agent("PC03", "u<3>", "15");
    store::openMng(ctx.base).exec(
        "INSERT INTO RemList_Add (DselNo, Size, UserID, Remark) VALUES ('1111', '8GB', 'u1', "
        "'経理')");

    EXPECT_TRUE(sendAt(2, 8, 29));
    EXPECT_TRUE(sink.mails().empty()) << "not before its time";
    EXPECT_TRUE(sendAt(2, 11, 0));  // the console was down at 8:30
    auto mails = sink.mails();
    ASSERT_EQ(mails.size(), 1u);
    EXPECT_EQ(mails[0].subject, "[Plenvo] 正常 1 / エラー 2 / 未報告 1 / 申請 1");
    for (const char* part :
         {"PC02 / u2: 14 バックアップ中にエラーが発生しました", "PC03 / u<3>: 15 ",
          "1111 8GB u1 経理", "取り込み: 最後に終わった時刻 2009/10/02 8:00:00、所要 1.5 秒",
          "チェック: まだ終わっていません"})
        EXPECT_NE(mails[0].body.find(part), std::string::npos) << part << "\n" << mails[0].body;

    // Every pass asks again, and a restart holds nothing in memory: kept in the database.
    EXPECT_TRUE(sendAt(2, 11, 1));
    EXPECT_TRUE(sendAt(2, 23, 59));
    EXPECT_EQ(sink.mails().size(), 1u);
    EXPECT_TRUE(sendAt(3, 8, 30));
    EXPECT_EQ(sink.mails().size(), 2u);
    EXPECT_TRUE(failures.lines.empty());

    // A time that is none is told, and sends nothing.
    mailIni(sink.port(), {"SummaryAt=8時半"});
    EXPECT_FALSE(sendAt(4, 9, 0));
    EXPECT_EQ(sink.mails().size(), 2u);
    ASSERT_EQ(failures.lines.size(), 1u);
    EXPECT_NE(failures.lines[0].find("SummaryAt=8時半 is no time HH:MM"), std::string::npos);
}

}  // namespace
}  // namespace plenvo::alerts
