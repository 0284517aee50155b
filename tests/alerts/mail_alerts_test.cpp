#include "alerts_fixture.h"

namespace plenvo::alerts {
namespace {

TEST_F(AlertsTest, WithoutUsableSettingsNothingIsSentOrKept) {
    agent("PC01", "u1", "14");
    EXPECT_EQ(sendMailAlerts(ctx).due, 0u);  // no Mail.ini
    writeMailIni({"[Mail]", "Server=127.0.0.1"});
    EXPECT_EQ(sendMailAlerts(ctx).due, 0u);  // no administrator
    EXPECT_TRUE(failures.lines.empty());
    EXPECT_EQ(told("PC01"), "<none>");

    writeMailIni({"[Mail]", "Server=127.0.0.1", "To=a@example.jp", "Security=ssl"});
    EXPECT_EQ(sendMailAlerts(ctx).due, 0u);
    ASSERT_EQ(failures.lines.size(), 1u);
    EXPECT_NE(failures.lines[0].find("Security=ssl"), std::string::npos);
}

TEST_F(AlertsTest, MailsThatCannotGoStayDueWithOneLinePerPass) {
    // Nobody listens on port 1 of this machine.
    mailIni(1);
    for (int i = 0; i < 5; ++i) agent("PC0" + std::to_string(i), "u1", "14");
    for (int pass = 1; pass <= 2; ++pass) {
        const AlertPass done = sendMailAlerts(ctx);
        EXPECT_EQ(done.due, 5u);
        EXPECT_EQ(done.sent, 0u);
        EXPECT_TRUE(done.failed);
        EXPECT_EQ(failures.lines.size(), static_cast<size_t>(pass));
    }
    EXPECT_NE(failures.lines[0].find("5 of 5 mails not sent"), std::string::npos)
        << failures.lines[0];
    EXPECT_EQ(told("PC00"), "<none>");
}

}  // namespace
}  // namespace plenvo::alerts
