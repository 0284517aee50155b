#include "alerts/mail_text.h"

#include <gtest/gtest.h>

#include "alerts/alert_mail.h"
#include "alerts/alert_plan.h"

namespace plenvo::alerts {
namespace {

TEST(MailMessage, ValuesFromAgentsNeverMakeHeadersOfTheirOwn) {
    MailText mail;
    mail.from = "console@example.jp";
    mail.to = {"admin@example.jp", "evil@example.jp\r\nBcc: victim@example.jp",
               "two@a.jp, three@b.jp"};
    mail.subject = "[Plenvo] PC01\r\nBcc: victim@example.jp\n(u): x";
    mail.bodyLines = {"ホスト名: PC01\r\n.\r\nRCPT TO:<victim@example.jp>"};
    mail.date = "Mon, 07 Dec 2026 17:40:18 +0000\r\nX-Evil: 1";
    const std::string message = messageOf(mail);
    const std::string headers = message.substr(0, message.find("\r\n\r\n"));

    std::vector<std::string> names;
    size_t start = 0;
    while (start < headers.size()) {
        const size_t end = std::min(headers.find("\r\n", start), headers.size());
        const std::string line = headers.substr(start, end - start);
        if (!line.empty() && line[0] != ' ') names.push_back(line.substr(0, line.find(':')));
        start = end + 2;
    }
    EXPECT_EQ(names, (std::vector<std::string>{"From", "To", "Subject", "Date", "MIME-Version",
                                               "Content-Type", "Content-Transfer-Encoding"}));
    EXPECT_EQ(headers.find("victim"), std::string::npos);
    EXPECT_EQ(headers.find("two@a.jp"), std::string::npos) << "a list is no plain address";
    EXPECT_NE(headers.find("admin@example.jp"), std::string::npos);
    // No bare CR or LF anywhere: every line of the message ends CR LF.
    for (size_t i = 0; i < message.size(); ++i) {
        if (message[i] == '\n') {
            EXPECT_EQ(message[i - 1], '\r');
        }
        if (message[i] == '\r') {
            EXPECT_EQ(message[i + 1], '\n');
        }
    }
}

TEST(MailMessage, ARequestMailListsTheRequestsAndLeadsToTheWebConsole) {
    MailSettings settings;
    settings.to = "a@example.jp, b@example.jp";
    settings.webUrl = "https://backup.example.jp:8443";
    const MailText mail = requestMail(
        settings,
        {{"1111", "7.5GB", "u1 u2", "経理\r\nBcc: x@evil.example"}, {"2222", "16GB", "Any", ""}});
    EXPECT_EQ(mail.to.size(), 2u);
    EXPECT_NE(mail.subject.find("リムーバブルメディアの申請が来ました"), std::string::npos);
    std::string body;
    for (const auto& line : mail.bodyLines) {
        EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos)
            << "an agent's remark stays one line";
        body += line + "\n";
    }
    EXPECT_NE(body.find("シリアル番号: 1111"), std::string::npos) << body;
    EXPECT_NE(body.find("シリアル番号: 2222"), std::string::npos);
    EXPECT_EQ(mail.bodyLines.back(), "許可または否認: https://backup.example.jp:8443/media");
}

TEST(MailMessage, PlainAddresses) {
    for (const char* good : {"a@b", "admin.1+x@example.co.jp"}) EXPECT_TRUE(plainAddress(good));
    for (const char* bad : {"", "@b", "a@", "a@@b", "a@b@c", "a b@c", "<a@b>", "a@b,c@d", "a@b\r\n",
                            "ユーザー@example.jp", "a;b@c"})
        EXPECT_FALSE(plainAddress(bad)) << bad;
}

TEST(AlertDecision, CodesGainedLostAndKept) {
    EXPECT_EQ(codesOf(",14,,08,14, 15 ,"), (std::vector<std::string>{"14", "08", "15"}));
    struct Case {
        const char* now;
        const char* told;
        AlertKind kind;
        std::vector<std::string> fresh;
    };
    const Case cases[] = {
        {"14", "", AlertKind::problem, {"14"}},
        {"14", "14", AlertKind::none, {}},
        {"14,15", "14", AlertKind::problem, {"15"}},
        {"15", "14", AlertKind::problem, {"15"}},  // 14 went, 15 came: only 15 is news
        {"", "14,15", AlertKind::recovery, {}},
        {"15", "14,15", AlertKind::forget, {}},
        {"", "", AlertKind::none, {}},
        {",", "", AlertKind::none, {}},
    };
    for (const Case& c : cases) {
        const AlertDecision d = decide(codesOf(c.now), codesOf(c.told));
        EXPECT_EQ(d.kind, c.kind) << c.now << " / " << c.told;
        EXPECT_EQ(d.newCodes, c.fresh) << c.now << " / " << c.told;
    }
}

}  // namespace
}  // namespace plenvo::alerts
