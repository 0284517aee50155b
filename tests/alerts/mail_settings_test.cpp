#include "alerts/mail_settings.h"

#include <gtest/gtest.h>

#include "alerts/mail_alerts.h"
#include "platform/files/private_file.h"
#include "platform/text/text_file.h"
#include "settings/mail_setting_window.h"
#include "settings/setting_window.h"
#include "support/fake_clock.h"
#include "support/fake_dialogs.h"
#include "support/fake_window_host.h"
#include "support/temp_dir.h"

namespace plenvo::alerts {
namespace {

namespace fs = std::filesystem;
using platform::MailSecurity;

const std::vector<std::string> kExample = {
    "[Mail]",
    "Server=smtp.example.jp",
    "Port=587",
    "Security=starttls        ; none | starttls | tls",
    "User=",
    "Password=",
    "From=backup-console@example.jp",
    "To=admin1@example.jp,admin2@example.jp",
    "NotifyUsers=0",
};

TEST(MailSettingsFile, ReadsTheExampleAndItsDefaults) {
    const MailSettingsRead read = parseMailSettings(kExample);
    ASSERT_TRUE(read.settings) << read.problem;
    const MailSettings& s = *read.settings;
    EXPECT_EQ(s.server, "smtp.example.jp");
    EXPECT_EQ(s.port, 587);
    EXPECT_EQ(s.security, MailSecurity::starttls);
    EXPECT_EQ(s.recipients(), (std::vector<std::string>{"admin1@example.jp", "admin2@example.jp"}));
    EXPECT_FALSE(s.notifyUsers);
    EXPECT_EQ(s.limit, 50);
    EXPECT_TRUE(s.sendsMail());

    // The port follows the security when it is not given; keys are blind to case;
    // another section's keys are not ours; a password keeps its ";".
    const auto other =
        parseMailSettings({"[Mail]", "server=mx", "SECURITY=tls", "to = a@b ; c",
                           "Password=pa ;ss ", "NotifyUsers=1", "[Other]", "Server=elsewhere"});
    ASSERT_TRUE(other.settings);
    EXPECT_EQ(other.settings->server, "mx");
    EXPECT_EQ(other.settings->port, 465);
    EXPECT_EQ(other.settings->password, "pa ;ss ");
    EXPECT_EQ(other.settings->recipients(), (std::vector<std::string>{"a@b"}));
    EXPECT_TRUE(other.settings->notifyUsers);

    // No server or no administrator: no mail.
    EXPECT_FALSE(parseMailSettings({"[Mail]", "To=a@b"}).settings->sendsMail());
    EXPECT_FALSE(parseMailSettings({"[Mail]", "Server=mx", "To= , "}).settings->sendsMail());
}

TEST(MailSettingsFile, ValuesThatCannotBeUsedAreNamed) {
    for (const auto& lines : std::vector<std::vector<std::string>>{
             {"Security=ssl"}, {"Port=0"}, {"Port=58x"}, {"Port=70000"}, {"MaxMails=-1"}}) {
        const auto read = parseMailSettings(lines);
        EXPECT_FALSE(read.settings) << lines[0];
        EXPECT_NE(read.problem.find(lines[0]), std::string::npos) << read.problem;
    }
    MailSettings s = *parseMailSettings(kExample).settings;
    s.server = "smtp.example.jp/evil@other";
    EXPECT_FALSE(problemOf(s).empty());
    s = *parseMailSettings(kExample).settings;
    s.to = "admin@example.jp, not an address";
    EXPECT_FALSE(problemOf(s).empty());
}

class MailSettingsOnDisk : public ::testing::Test {
  protected:
    test::TempDir dir;
    fs::path file = dir.path() / "Mail.ini";
    test::FakeClock clock;
    test::RecordingFailureLog failures;
    platform::RunContext ctx{platform::BaseFolder(dir.path()), clock, failures};
    test::FakeDialogs dialogs;
};

TEST_F(MailSettingsOnDisk, SavedInCp932WithCrLfAndReadBack) {
    EXPECT_FALSE(loadMailSettings(file).settings);
    EXPECT_TRUE(loadMailSettings(file).problem.empty()) << "no file is no fault";

    MailSettings s;
    s.server = "127.0.0.1";
    s.port = 2525;
    s.security = MailSecurity::none;
    s.user = "管理者";
    s.password = "pa;ss\r\nServer=evil";
    s.to = "a@example.jp";
    s.notifyUsers = true;
    s.limit = 7;
    s.webUrl = "https://backup.example.jp:8443";
    saveMailSettings(file, s);

    const std::string bytes = test::readBytes(file);
    EXPECT_NE(bytes.find("User=" + platform::encodeCp932("管理者") + "\r\n"), std::string::npos);
    EXPECT_NE(bytes.find("Security=none"), std::string::npos);
    EXPECT_EQ(bytes.find("Server=evil"), bytes.find("Server=evil\r\n")) << "no line of its own";
    EXPECT_EQ(bytes.find("\nServer=evil"), std::string::npos);

    const MailSettingsRead read = loadMailSettings(file);
    ASSERT_TRUE(read.settings) << read.problem;
    EXPECT_EQ(read.settings->server, "127.0.0.1");
    EXPECT_EQ(read.settings->port, 2525);
    EXPECT_EQ(read.settings->user, "管理者");
    EXPECT_EQ(read.settings->password, "pa;ss  Server=evil");
    EXPECT_TRUE(read.settings->notifyUsers);
    EXPECT_EQ(read.settings->limit, 7);
    EXPECT_EQ(read.settings->webUrl, "https://backup.example.jp:8443") << "kept by a save";
    // Nothing is left beside the file.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

TEST_F(MailSettingsOnDisk, TheSettingsWindowsButtonOpensTheWindowThatSavesTheValues) {
    test::writeCp932Lines(file, {"[Mail]", "Server=mx.example.jp", "To=a@example.jp", "MaxMails=9",
                                 "Password=secret", "WebUrl=https://backup.example.jp"});
    platform::keepToOwner(file);
    store::MonitoringFlag flag;
    test::FakeWindowHost host;
    settings::Setting settingWindow(ctx, flag, dialogs, "", nullptr, &host);
    EXPECT_EQ(settingWindow.control("MailSetting").caption, "メール通知設定");
    bool opened = false;
    host.whileOpen = [&](ui::Form& form) {
        opened = dynamic_cast<settings::MailSetting*>(&form) != nullptr;
    };
    settingWindow.click("MailSetting");
    EXPECT_TRUE(opened);

    settings::MailSetting window(ctx, dialogs);
    window.Form_Load();
    EXPECT_EQ(window.control("ServerF").text, "mx.example.jp");
    EXPECT_EQ(window.control("PortF").text, "587");
    EXPECT_EQ(window.control("SecurityF").text, "starttls");
    EXPECT_EQ(window.control("PasswordF").text, "secret");

    // A value that cannot be used is named and nothing is written.
    window.control("PortF").text = "abc";
    window.click("Save");
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_NE(dialogs.messages[0].text.find("Port=abc"), std::string::npos);
    EXPECT_FALSE(window.unloadRequested());
    EXPECT_EQ(loadMailSettings(file).settings->port, 587);

    window.control("PortF").text = "25";
    window.control("SecurityF").text = "none";
    window.control("ToF").text = "a@example.jp, b@example.jp";
    window.control("NotifyUsersF").checked = true;
    window.click("Save");
    EXPECT_EQ(dialogs.messages.back().text, "メール通知設定を保存しました");
    EXPECT_TRUE(window.unloadRequested());
    const MailSettings saved = *loadMailSettings(file).settings;
    EXPECT_EQ(saved.port, 25);
    EXPECT_EQ(saved.webUrl, "https://backup.example.jp") << "the window has no box for it";
    EXPECT_EQ(saved.security, MailSecurity::none);
    EXPECT_EQ(saved.recipients().size(), 2u);
    EXPECT_TRUE(saved.notifyUsers);
    EXPECT_EQ(saved.limit, 9) << "a value the window does not show is kept";
    EXPECT_EQ(saved.password, "secret");
}

TEST_F(MailSettingsOnDisk, ATestMailThatCannotGoSaysWhy) {
    settings::MailSetting window(ctx, dialogs);
    window.Form_Load();  // no file: the defaults
    EXPECT_EQ(window.control("PortF").text, "587");
    window.click("TestSend");
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text.rfind("テストメールを送信できませんでした", 0), 0u);

    // Nobody listens on port 1 of this machine.
    window.control("ServerF").text = "127.0.0.1";
    window.control("PortF").text = "1";
    window.control("SecurityF").text = "none";
    window.control("ToF").text = "a@example.jp";
    window.click("TestSend");
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(dialogs.messages[1].text.rfind("テストメールを送信できませんでした\n", 0), 0u);
    EXPECT_GT(dialogs.messages[1].text.size(),
              std::string("テストメールを送信できませんでした\n").size());
    window.click("Cancel");
    EXPECT_TRUE(window.unloadRequested());
    EXPECT_FALSE(fs::exists(file));
}

}  // namespace
}  // namespace plenvo::alerts
