#include "web/web_server.h"

#include <gtest/gtest.h>

#include <chrono>

#include "free_port.h"
#include "pages/backup_list_page.h"
#include "platform/core/base64.h"
#include "platform/process/detached_command.h"
#include "platform/text/text_file.h"
#include "store/mng_database.h"
#include "support/fake_clock.h"
#include "support/http_probe.h"
#include "support/listed_destination.h"
#include "support/silent_server.h"
#include "support/skip.h"
#include "support/temp_dir.h"

namespace plenvo::web {
namespace {

using namespace std::chrono_literals;

std::string command(const std::vector<std::string>& argv) {
    const auto result = platform::runBounded(argv, 30s);
    EXPECT_TRUE(result && result->exitCode == 0) << argv[0] << " " << argv[1];
    return result ? result->output : "";
}

// A console's base folder with one agent, its page written.
class Served : public ::testing::Test {
  protected:
    Served() {
        store::installMngDatabase(dir.path() / "Mng.mdb");
        std::filesystem::create_directories(dir.path() / "backup" / "PC01");
        test::writeCp932Lines(dir.path() / "backup" / "PC01" / "Log.txt", {"old", "new"});
        addRow("PC01", (dir.path() / "backup" / "PC01").string());
        test::listDestination(ctx.base, (dir.path() / "backup").string());
        pages::writeBackupListPage(ctx);
        options.port = test::freePort();
    }
    void addRow(const std::string& host, const std::string& destination) {
        auto st = store::openMng(ctx.base).prepare(
            "INSERT INTO UserLog (ComNM, UserID, ToBkup, UPDT) VALUES (?1, 'u1', ?2, "
            "'2009-10-01 09:00:00')");
        st.bind(1, host).bind(2, destination).run();
    }
    std::unique_ptr<WebServer> start(std::chrono::milliseconds reachLimit = 5s) {
        auto started = WebServer::start(options, ctx.base, failures, reachLimit);
        if (auto* refused = std::get_if<WebRefusal>(&started)) ADD_FAILURE() << refused->why;
        return started.index() == 0 ? std::move(std::get<0>(started)) : nullptr;
    }
    std::string refusal() {
        auto started = WebServer::start(options, ctx.base, failures);
        return started.index() == 1 ? std::get<1>(started).why : std::string();
    }
    // The targets go out byte for byte.
    test::HttpReply get(std::string_view target, std::string_view headers = {}) const {
        return test::httpGet(options.port, target, headers);
    }
    test::HttpReply getAs(std::string_view user, std::string_view password,
                          std::string_view target = "/") const {
        return get(target,
                   "Authorization: Basic " +
                       platform::base64Encoded(std::string(user) + ":" + std::string(password)) +
                       "\r\n");
    }

    test::TempDir dir;
    test::FakeClock clock;
    test::RecordingFailureLog failures;
    const platform::RunContext ctx{platform::BaseFolder(dir.path()), clock, failures};
    WebOptions options{.address = "127.0.0.1"};
};

TEST_F(Served, PagesAndLogsOverTheWireAndTricksFindNothing) {
    const auto server = start();
    ASSERT_TRUE(server);
    EXPECT_EQ(server->url(), "http://127.0.0.1:" + std::to_string(options.port));
    const auto page = get("/Index.htm");
    EXPECT_EQ(page.status, 200);
    EXPECT_EQ(page.header("content-type"), "text/html; charset=Shift_JIS");
    EXPECT_EQ(page.header("x-content-type-options"), "nosniff");
    EXPECT_NE(page.body.find("href='/log/PC01/u1'"), std::string::npos);
    EXPECT_EQ(get("/log/PC01/u1").body, "new\nold\n");
    for (const char* target : {"/log/PC01/../PC01/u1", "/log/%2e%2e/%2e%2e/u1", "/log/PC01%2Fu1/x",
                               "/log/PC01%2fu1", "/%2e%2e/%2e%2e/etc/passwd", "/log/%252e%252e/u1",
                               "/log/PC01/u1%00", "/img/..%5CMng.mdb", "/..%2FMng.mdb"}) {
        EXPECT_EQ(get(target).status, 404) << target;
    }
}

TEST_F(Served, AUsersFileAsksEveryRequestToSignIn) {
    const std::string hash = command({"openssl", "passwd", "-6", "-salt", "testsalt", "s3cret"});
    test::writePrivateBytes(dir.path() / "users", "admin:" + hash);
    options.usersFile = dir.path() / "users";
    options.address = "0.0.0.0";  // a public address takes a users file
    const auto server = start();
    ASSERT_TRUE(server);
    // A browser is led to the sign-in form; a script that sends Basic is asked again.
    const auto anonymous = get("/log/PC01/u1");
    EXPECT_EQ(anonymous.status, 303);
    EXPECT_EQ(anonymous.header("location"), "/signin");
    EXPECT_NE(getAs("admin", "wrong").header("www-authenticate").find("Basic"), std::string::npos);
    EXPECT_EQ(getAs("admin", "wrong").status, 401);
    EXPECT_EQ(getAs("nobody", "s3cret").status, 401);
    EXPECT_EQ(getAs("admin", "s3cret").status, 200);
    EXPECT_EQ(getAs("admin", "s3cret", "/log/PC01/u1").body, "new\nold\n");
}

TEST_F(Served, UsersAddedOrTakenOutCountFromTheNextRequestAndABrokenFileAdmitsNoOne) {
    const std::string adminHash =
        command({"openssl", "passwd", "-6", "-salt", "testsalt", "s3cret"});
    const std::string opsHash = command({"openssl", "passwd", "-6", "-salt", "opssalt", "0ps"});
    const auto users = dir.path() / "users";
    test::writePrivateBytes(users, "admin:" + adminHash);
    options.usersFile = users;
    const auto server = start();
    ASSERT_TRUE(server);
    const auto status = [&](const char* user, const char* password) {
        return getAs(user, password).status;
    };
    EXPECT_EQ(status("ops", "0ps"), 401);

    test::writePrivateBytes(users, "ops:" + opsHash);
    EXPECT_EQ(status("ops", "0ps"), 200);
    EXPECT_EQ(status("admin", "s3cret"), 401) << "a user taken out is out";

    test::writePrivateBytes(users, "ops " + opsHash);
    EXPECT_EQ(status("ops", "0ps"), 401);
    std::filesystem::remove(users);
    EXPECT_EQ(status("ops", "0ps"), 401);
    EXPECT_EQ(failures.lines.size(), 2u) << "one line each time the file breaks";

    test::writePrivateBytes(users, "admin:" + adminHash + "\nops:" + opsHash);
    EXPECT_EQ(status("admin", "s3cret"), 200);
    EXPECT_EQ(status("ops", "0ps"), 200);
}

TEST_F(Served, TlsWithACertificateAndItsKey) {
    const auto cert = dir.path() / "cert.pem", key = dir.path() / "key.pem";
    command({"openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=127.0.0.1",
             "-days", "1", "-keyout", key.string(), "-out", cert.string()});
    options.certFile = cert;
    options.keyFile = dir.path() / "missing.pem";
    EXPECT_NE(refusal().find("cannot use the private key"), std::string::npos);
    options.keyFile = key;
    // Whoever reads the key can pose as the console: one others may read is refused.
    std::filesystem::permissions(key, std::filesystem::perms::others_read,
                                 std::filesystem::perm_options::add);
    EXPECT_NE(refusal().find("is open to group or others (mode 0604)"), std::string::npos)
        << refusal();
    std::filesystem::permissions(
        key, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    const auto server = start();
    ASSERT_TRUE(server);
    EXPECT_TRUE(server->url().starts_with("https://"));
    EXPECT_EQ(command({"curl", "-sk", "--max-time", "10", server->url() + "/log/PC01/u1"}),
              "new\nold\n");
    EXPECT_NE(get("/").status, 200) << "nothing unencrypted";
}

TEST_F(Served, TlsFromAPfxAndThePasswordOnTheFirstLineOfItsFile) {
    const auto cert = dir.path() / "cert.pem", key = dir.path() / "key.pem";
    const auto pfx = dir.path() / "cert.pfx", password = dir.path() / "password";
    command({"openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
             "-nodes", "-subj", "/CN=127.0.0.1", "-days", "1", "-keyout", key.string(), "-out",
             cert.string()});
    command({"openssl", "pkcs12", "-export", "-in", cert.string(), "-inkey", key.string(),
             "-passout", "pass:s3cret pw", "-out", pfx.string()});
    const auto ownerOnly = std::filesystem::perms::owner_read | std::filesystem::perms::owner_write;
    std::filesystem::permissions(pfx, ownerOnly);
    options.certFile = pfx;
    options.certPasswordFile = password;
    EXPECT_NE(refusal().find("cannot read the password file " + password.string()),
              std::string::npos)
        << refusal();
    test::writePrivateBytes(password, "s3cret\n");
    EXPECT_EQ(refusal(), "the password does not open " + pfx.string());
    // Whoever reads the password or the .pfx can pose as the console.
    test::writePrivateBytes(password, "s3cret pw\r\nthe first line alone counts\n");
    std::filesystem::permissions(password, std::filesystem::perms::group_read,
                                 std::filesystem::perm_options::add);
    EXPECT_NE(refusal().find("the password file " + password.string() + " is open to group"),
              std::string::npos)
        << refusal();
    std::filesystem::permissions(password, std::filesystem::perms::group_read,
                                 std::filesystem::perm_options::remove);
    std::filesystem::permissions(pfx, std::filesystem::perms::others_read,
                                 std::filesystem::perm_options::add);
    EXPECT_NE(refusal().find("the .pfx file " + pfx.string() + " is open to group or others"),
              std::string::npos)
        << refusal();
    std::filesystem::permissions(pfx, ownerOnly);
    const auto server = start();
    ASSERT_TRUE(server);
    EXPECT_TRUE(server->url().starts_with("https://"));
    EXPECT_EQ(command({"curl", "-sk", "--max-time", "10", server->url() + "/log/PC01/u1"}),
              "new\nold\n");
}

TEST_F(Served, ALocalSocketForAProxyTakesAUsersFile) {
    options.localSocket = dir.path() / "http.sock";
    EXPECT_NE(refusal().find("--http-users"), std::string::npos) << "a proxy passes others on";
    const std::string hash = command({"openssl", "passwd", "-6", "-salt", "testsalt", "s3cret"});
    test::writePrivateBytes(dir.path() / "users", "admin:" + hash);
    options.usersFile = dir.path() / "users";
    const auto server = start();
    ASSERT_TRUE(server);
    EXPECT_EQ(server->url(), "unix:" + options.localSocket->string());
    auto connected = platform::StreamConnection::connectToLocal(*options.localSocket);
    ASSERT_TRUE(std::holds_alternative<platform::StreamConnection>(connected));
    auto& c = std::get<platform::StreamConnection>(connected);
    const auto log = test::exchange(c, "GET /log/PC01/u1 HTTP/1.1\r\nAuthorization: Basic " +
                                           platform::base64Encoded("admin:s3cret") +
                                           "\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(log.body, "new\nold\n");
}

TEST_F(Served, WhatCannotBeServedIsRefusedWithItsReason) {
    options.address = "0.0.0.0";
    EXPECT_NE(refusal().find("--http-users"), std::string::npos);
    options.usersFile = dir.path() / "no-such-file";
    EXPECT_NE(refusal().find("cannot read the users file"), std::string::npos);
    test::writeBytes(dir.path() / "open-users", "admin:$6$salt$hash\n");
    std::filesystem::permissions(dir.path() / "open-users", std::filesystem::perms::group_read,
                                 std::filesystem::perm_options::add);
    options.usersFile = dir.path() / "open-users";
    EXPECT_NE(refusal().find("open-users is open to group or others"), std::string::npos)
        << refusal();
    options = WebOptions{.address = "127.0.0.1", .port = options.port};
    const auto first = start();
    ASSERT_TRUE(first);
    EXPECT_NE(refusal().find("cannot listen on 127.0.0.1:"), std::string::npos);
}

TEST_F(Served, ASilentServerCostsOneWaitNotTheRequest) {
    test::SilentServer silent("127.0.0.12");
    if (!silent.listening()) PLENVO_SKIP() << "a listener on 127.0.0.12:445 needs root";
    addRow("PC02", "\\\\127.0.0.12\\Backup\\PC02");
    test::listDestination(ctx.base, "\\\\127.0.0.12\\Backup");
    const auto server = start(1s);
    ASSERT_TRUE(server);
    const auto began = std::chrono::steady_clock::now();
    EXPECT_EQ(get("/log/PC02/u1").status, 504);
    EXPECT_LT(std::chrono::steady_clock::now() - began, 4s);
    // Afterwards the other pages are served.
    EXPECT_EQ(get("/log/PC01/u1").status, 200);
}

}  // namespace
}  // namespace plenvo::web
