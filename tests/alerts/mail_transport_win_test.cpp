// The Windows SMTP client against real servers on loopback: CTest starts
// smtp_servers.py on the Linux side, PLENVO_SMTP_SERVERS names their folder.
#include <windows.h>
//
#include <gtest/gtest.h>
#include <wincrypt.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "alerts/mail_text.h"
#include "platform/mail/mail_transport.h"
#include "support/skip.h"

namespace plenvo::platform {
namespace {

namespace fs = std::filesystem;
using Steady = std::chrono::steady_clock;

const std::string kPassword = "pa ss:w\xc3\xb6rd";

std::string contents(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

fs::path serversFolder() {
    const char* folder = std::getenv("PLENVO_SMTP_SERVERS");
    return folder ? fs::path(folder) : fs::path();
}

int portOf(const std::string& name) {
    std::istringstream lines(contents(serversFolder() / "ports"));
    for (std::string line; std::getline(lines, line);)
        if (line.rfind(name + "=", 0) == 0) return std::stoi(line.substr(name.size() + 1));
    return 0;
}

struct Received {
    std::string recipients, subject, body, raw;
};

// What one server took, oldest first.
std::vector<Received> received(const std::string& name) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(serversFolder() / name))
        if (entry.path().extension() == ".txt") files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    std::vector<Received> out;
    for (const fs::path& file : files) {
        const std::string decoded = contents(file);
        const size_t first = decoded.find('\n');
        const size_t second = decoded.find('\n', first + 1);
        out.push_back({decoded.substr(0, first), decoded.substr(first + 1, second - first - 1),
                       decoded.substr(std::min(second + 2, decoded.size())),
                       contents(fs::path(file).replace_extension(".eml"))});
    }
    return out;
}

int lineCount(const std::string& name, const std::string& file) {
    const std::string lines = contents(serversFolder() / name / file);
    return static_cast<int>(std::count(lines.begin(), lines.end(), '\n'));
}

MailServer server(const std::string& name, MailSecurity security = MailSecurity::none) {
    return {"127.0.0.1", portOf(name), security, {}, {}};
}

Steady::time_point in(std::chrono::milliseconds time) {
    return Steady::now() + time;
}

const MailEnvelope kEnvelope{"console@example.jp", {"admin@example.jp"}};

std::string simpleMessage(const std::string& subject) {
    return "From: console@example.jp\r\nTo: admin@example.jp\r\nSubject: " + subject +
           "\r\n\r\nbody\r\n";
}

class MailTransport : public ::testing::Test {
  protected:
    void SetUp() override {
        if (serversFolder().empty()) PLENVO_SKIP() << "PLENVO_SMTP_SERVERS is not set";
        if (const std::string why = contents(serversFolder() / "unavailable"); !why.empty())
            PLENVO_SKIP() << why;
        ASSERT_NE(portOf("plain"), 0) << "the SMTP servers did not start";
    }
};

TEST_F(MailTransport, MailsOfASessionShareOneConnectionAndArriveAsWritten) {
    const int connections = lineCount("plain", "connections");
    const size_t before = received("plain").size();
    alerts::MailText alert{"console@example.jp",
                           {"admin@example.jp", "nobody@example.jp"},
                           "バックアップ中にエラーが発生しました",
                           {"ホスト名: PC01", "二行目"},
                           "Mon, 07 Dec 2026 10:00:00 +0000"};
    // Dots at line starts, a bare LF and no line end at the close: the server
    // must still see these lines as they were.
    const std::string raw =
        "Subject: dots\r\n\r\n.one dot\r\n..two dots\nbare LF above\r\n.\r\nlast";
    {
        MailSession session(server("plain"), in(std::chrono::seconds(10)));
        // One refused address does not hold back the other.
        const MailSendResult first = session.send(
            {alert.from, {"admin@example.jp", "nobody@example.jp"}}, alerts::messageOf(alert));
        EXPECT_TRUE(first.sent) << first.error;
        const MailSendResult second = session.send(kEnvelope, raw);
        EXPECT_TRUE(second.sent) << second.error;
    }
    EXPECT_EQ(lineCount("plain", "connections"), connections + 1);
    const auto mails = received("plain");
    ASSERT_EQ(mails.size(), before + 2);
    EXPECT_EQ(mails[before].recipients, "admin@example.jp");
    EXPECT_EQ(mails[before].subject, alert.subject);
    EXPECT_EQ(mails[before].body, "ホスト名: PC01\r\n二行目\r\n");
    EXPECT_EQ(mails[before + 1].subject, "dots");
    EXPECT_NE(mails[before + 1].raw.find("\r\n\r\n.one dot\r\n..two dots\r\nbare LF above\r\n"
                                         ".\r\nlast\r\n"),
              std::string::npos)
        << mails[before + 1].raw;
}

TEST_F(MailTransport, AMailAllRefuseLeavesTheSessionUsableForTheNext) {
    const size_t before = received("plain").size();
    MailSession session(server("plain"), in(std::chrono::seconds(10)));
    const MailSendResult refused =
        session.send({"console@example.jp", {"nobody@example.jp"}}, simpleMessage("never"));
    EXPECT_FALSE(refused.sent);
    EXPECT_NE(refused.error.find("550 no such user"), std::string::npos) << refused.error;
    const MailSendResult next = session.send(kEnvelope, simpleMessage("after a refusal"));
    EXPECT_TRUE(next.sent) << next.error;
    const auto mails = received("plain");
    ASSERT_EQ(mails.size(), before + 1);
    EXPECT_EQ(mails.back().subject, "after a refusal");
}

TEST_F(MailTransport, LogsInWithWhatTheServerOffersOnAPlainConnection) {
    for (const auto& [name, mechanism] :
         std::map<std::string, std::string>{{"auth", "PLAIN"}, {"authlogin", "LOGIN"}}) {
        SCOPED_TRACE(name);
        const size_t before = received(name).size();
        MailServer withLogin = server(name);
        withLogin.user = "console";
        withLogin.password = kPassword;
        const MailSendResult result = MailSession(withLogin, in(std::chrono::seconds(10)))
                                          .send(kEnvelope, simpleMessage("logged in"));
        EXPECT_TRUE(result.sent) << result.error;
        EXPECT_EQ(received(name).size(), before + 1);
        const std::string logins = contents(serversFolder() / name / "logins");
        EXPECT_NE(logins.rfind(mechanism + " ok\n"), std::string::npos) << logins;

        withLogin.password = "wrong";
        const MailSendResult wrong = MailSession(withLogin, in(std::chrono::seconds(10)))
                                         .send(kEnvelope, simpleMessage("never"));
        EXPECT_FALSE(wrong.sent);
        EXPECT_NE(wrong.error.find("ログインを拒否しました: 535"), std::string::npos)
            << wrong.error;
        EXPECT_EQ(received(name).size(), before + 1);
    }
    // Without a user no login is tried, and a server that needs none takes the mail.
    const size_t logins = static_cast<size_t>(lineCount("auth", "logins"));
    EXPECT_TRUE(MailSession(server("auth"), in(std::chrono::seconds(10)))
                    .send(kEnvelope, simpleMessage("no login"))
                    .sent);
    EXPECT_EQ(static_cast<size_t>(lineCount("auth", "logins")), logins);
}

TEST_F(MailTransport, ServersThatFailEndTheSendWithAReasonInTime) {
    struct Case {
        std::string name, reason;
        std::chrono::milliseconds within;
    };
    for (const Case& c : {Case{"silent", "時間内に応答しませんでした", std::chrono::seconds(3)},
                          Case{"closed", "接続できません", std::chrono::seconds(2)},
                          Case{"longline", "応答の行が長すぎます", std::chrono::seconds(2)},
                          Case{"endless", "応答が長すぎます", std::chrono::seconds(2)}}) {
        SCOPED_TRACE(c.name);
        const auto started = Steady::now();
        MailSession session(server(c.name), in(std::chrono::seconds(1)));
        const MailSendResult result = session.send(kEnvelope, simpleMessage("never"));
        EXPECT_FALSE(result.sent);
        EXPECT_NE(result.error.find(c.reason), std::string::npos) << result.error;
        // The pass's later mails do not wait again.
        EXPECT_FALSE(session.send(kEnvelope, simpleMessage("never")).sent);
        EXPECT_LT(Steady::now() - started, c.within);
    }
}

TEST_F(MailTransport, ANameNotFoundFailsWithAReasonInTime) {
    MailServer unknown = server("plain");
    unknown.host = "no-such-host.invalid";
    const auto started = Steady::now();
    const MailSendResult result =
        MailSession(unknown, in(std::chrono::seconds(2))).send(kEnvelope, simpleMessage("never"));
    EXPECT_FALSE(result.sent);
    EXPECT_TRUE(
        result.error.rfind("メールサーバー no-such-host.invalid の名前を解決できません", 0) == 0 ||
        result.error == "メールサーバーの名前を時間内に解決できませんでした")
        << result.error;
    EXPECT_LT(Steady::now() - started, std::chrono::seconds(3));
}

TEST_F(MailTransport, ValuesThatCannotGoIntoACommandAreRefusedBeforeConnecting) {
    MailServer bad = server("plain");
    bad.host = "127.0.0.1\r\nRCPT TO:<x@example.jp>";
    EXPECT_EQ(MailSession(bad, in(std::chrono::seconds(10))).send(kEnvelope, "x").error,
              "メールサーバーの名前が正しくありません");
    const size_t before = received("plain").size();
    MailSession session(server("plain"), in(std::chrono::seconds(10)));
    EXPECT_EQ(
        session.send({"console@example.jp", {"a@example.jp>\r\nRCPT TO:<b@example.jp"}}, "x").error,
        "メールアドレスが正しくありません");
    EXPECT_EQ(received("plain").size(), before);
}

// The test certificate in the current user's trusted roots while it lives.
// Each start of the servers makes a new one, so one left behind trusts nothing.
class TrustedTestRoot {
  public:
    TrustedTestRoot() {
        const std::string der = contents(serversFolder() / "cert.der");
        store_ = ::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER,
                                 L"Root");
        if (store_)
            ::CertAddEncodedCertificateToStore(
                store_, X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()),
                static_cast<DWORD>(der.size()), CERT_STORE_ADD_REPLACE_EXISTING, &added_);
        // Written through, so that the store the system checks with sees it.
        if (added_) ::CertControlStore(store_, 0, CERT_STORE_CTRL_COMMIT, nullptr);
    }
    ~TrustedTestRoot() {
        if (added_ && ::CertDeleteCertificateFromStore(added_))  // frees it too
            ::CertControlStore(store_, 0, CERT_STORE_CTRL_COMMIT, nullptr);
        if (store_) ::CertCloseStore(store_, 0);
    }
    bool added() const { return added_ != nullptr; }

  private:
    HCERTSTORE store_ = nullptr;
    PCCERT_CONTEXT added_ = nullptr;
};

TEST_F(MailTransport, TlsFailsWithAReasonOnACertificateNotTrusted) {
    for (const auto& [name, security] : std::map<std::string, MailSecurity>{
             {"starttls", MailSecurity::starttls}, {"smtps", MailSecurity::tls}}) {
        SCOPED_TRACE(name);
        // The servers live for the whole run: another test may have sent through them.
        const size_t before = received(name).size();
        const MailSendResult untrusted =
            MailSession(server(name, security), in(std::chrono::seconds(10)))
                .send(kEnvelope, simpleMessage("never"));
        EXPECT_FALSE(untrusted.sent);
        EXPECT_NE(untrusted.error.find("証明書を信頼できません"), std::string::npos)
            << untrusted.error;
        EXPECT_EQ(received(name).size(), before);
    }
    // Plain servers do not get the mail in the clear when TLS was asked for.
    const MailSendResult plain =
        MailSession(server("plain", MailSecurity::starttls), in(std::chrono::seconds(10)))
            .send(kEnvelope, simpleMessage("never"));
    EXPECT_EQ(plain.error, "メールサーバーが STARTTLS に対応していません");
    // Nothing read in the clear may pass for a reply that came over TLS.
    const MailSendResult injected =
        MailSession(server("injecting", MailSecurity::starttls), in(std::chrono::seconds(10)))
            .send(kEnvelope, simpleMessage("never"));
    EXPECT_EQ(injected.error, "メールサーバーが TLS の前に送るはずのないデータを送ってきました");
}

TEST_F(MailTransport, TlsCarriesTheMailWhenTheCertificateIsTrusted) {
    TrustedTestRoot trusted;
    ASSERT_TRUE(trusted.added());
    for (const auto& [name, security] : std::map<std::string, MailSecurity>{
             {"starttls", MailSecurity::starttls}, {"smtps", MailSecurity::tls}}) {
        SCOPED_TRACE(name);
        const size_t before = received(name).size();
        const int connections = lineCount(name, "connections");
        // By name: Wine matches a certificate's DNS names only, not its addresses.
        MailServer byName = server(name, security);
        byName.host = "localhost";
        MailSession session(byName, in(std::chrono::seconds(10)));
        for (const char* subject : {"over TLS 1", "over TLS 2"}) {
            const MailSendResult result = session.send(kEnvelope, simpleMessage(subject));
            EXPECT_TRUE(result.sent) << result.error;
        }
        const auto mails = received(name);
        ASSERT_EQ(mails.size(), before + 2);
        EXPECT_EQ(mails[before + 1].subject, "over TLS 2");
        EXPECT_EQ(lineCount(name, "connections"), connections + 1);
    }
}

}  // namespace
}  // namespace plenvo::platform
