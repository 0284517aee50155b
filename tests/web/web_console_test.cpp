#include <gtest/gtest.h>

#include <chrono>

#include "free_port.h"
#include "platform/core/base64.h"
#include "store/mng_database.h"
#include "support/fake_clock.h"
#include "support/http_probe.h"
#include "support/temp_dir.h"
#include "web/web_server.h"

namespace plenvo::web {
namespace {

using namespace std::chrono_literals;

// `openssl passwd -6 -salt consolesalt` of "s3cret" and "look": one users file for both systems.
constexpr const char* kBossHash =
    "$6$consolesalt$AUPpE5NK0HB.TNk8XT9.a0JPsGZ1o0q.6VHPwWdOt599I2sC2DaERTUR4.ob5dfZz6U/V9w9t/"
    "MEJ0XNoIC1H/";
constexpr const char* kLookerHash =
    "$6$consolesalt$orSv0kX6jz5v6Y2k/WsAWys508uZU.Uh6G5107rM4q.a/c9Y/18tQwoPUKXJ0ofc6N.WzKHmjtzL4Rm"
    "GL8zUp0";

// The settings as a console keeps them, in memory.
class FakeSettings final : public ConsoleSettings {
  public:
    std::vector<std::string> destinations() override { return listed; }
    SettingOutcome addDestination(const std::string& path) override {
        if (path.find("silent") != std::string::npos)
            return {SettingOutcome::refused, "no answer from the server within 5 seconds"};
        for (const auto& d : listed)
            if (d == path) return {SettingOutcome::unchanged, ""};
        listed.push_back(path);
        return {};
    }
    SettingOutcome removeDestination(const std::string& path) override {
        const auto before = listed.size();
        std::erase(listed, path);
        return {listed.size() < before ? SettingOutcome::done : SettingOutcome::notFound, ""};
    }
    bool monitoring() override { return on; }
    SettingOutcome setMonitoring(bool enabled) override {
        on = enabled;
        return {};
    }
    SettingOutcome clearErrors() override {
        ++clears;
        return {};
    }
    std::optional<std::vector<PassRecord>> lastPasses() override { return passes; }
    std::optional<std::vector<PassRecord>> passes;

    std::vector<std::string> listed;
    bool on = false;
    int clears = 0;
};

// A console's folder with two pending requests, served with an admin and a viewer.
class WebConsoleTest : public ::testing::Test {
  protected:
    WebConsoleTest() {
        store::installMngDatabase(dir.path() / "Mng.mdb");
        std::filesystem::create_directories(dir.path() / "OrvShare" / "REM");
        request("1111", "7.5GB", "u1 u2", "経理");
        request("2222", "16GB", "u3", "");
        test::writePrivateBytes(dir.path() / "users", std::string("boss:") + kBossHash +
                                                          ":admin\nlooker:" + kLookerHash + "\n");
        options.usersFile = dir.path() / "users";
        options.port = test::freePort();
        link.attach(ctx, &settings);
        auto started = WebServer::start(options, ctx.base, failures, 5s, &link);
        if (auto* refused = std::get_if<WebRefusal>(&started))
            ADD_FAILURE() << refused->why;
        else
            server = std::move(std::get<std::unique_ptr<WebServer>>(started));
    }
    ~WebConsoleTest() override {
        server.reset();
        link.detach();
    }
    void request(const std::string& serial, const std::string& size, const std::string& users,
                 const std::string& remark) {
        store::openMng(ctx.base)
            .prepare(
                "INSERT INTO RemList_Add (DselNo, Size, UserID, Remark, UPDT) "
                "VALUES (?1, ?2, ?3, ?4, '2026-12-01 09:00:00')")
            .bind(1, serial)
            .bind(2, size)
            .bind(3, users)
            .bind(4, remark)
            .run();
    }
    int count(const std::string& sql) {
        auto st = store::openMng(ctx.base).prepare(sql);
        return st.step() ? static_cast<int>(st.integer(0).value_or(-1)) : -1;
    }
    std::string basic(const std::string& user, const std::string& password) const {
        return "Authorization: Basic " + platform::base64Encoded(user + ":" + password) + "\r\n";
    }
    test::HttpReply send(const std::string& method, const std::string& target,
                         const std::string& headers, const std::string& body = {}) const {
        auto c = platform::StreamConnection::connectTo("127.0.0.1", options.port, 5s);
        auto& connection = std::get<platform::StreamConnection>(c);
        return test::exchange(connection, method + " " + target + " HTTP/1.1\r\n" + headers +
                                              "Content-Length: " + std::to_string(body.size()) +
                                              "\r\nConnection: close\r\n\r\n" + body);
    }
    // Signs in with the form; the Cookie header of the session, and its form token.
    std::pair<std::string, std::string> signIn(const std::string& user,
                                               const std::string& password) {
        const auto done =
            send("POST", "/signin", "Content-Type: application/x-www-form-urlencoded\r\n",
                 "user=" + user + "&password=" + password);
        EXPECT_EQ(done.status, 303);
        const std::string cookie = done.header("set-cookie");
        const std::string header = "Cookie: " + cookie.substr(0, cookie.find(';')) + "\r\n";
        const auto form = send("GET", "/media/approve?serial=1111", header);
        const auto at = form.body.find("name=\"csrf\" value=\"");
        return {header, at == std::string::npos ? "" : form.body.substr(at + 19, 43)};
    }

    test::TempDir dir;
    test::FakeClock clock;
    test::RecordingFailureLog failures;
    const platform::RunContext ctx{platform::BaseFolder(dir.path()), clock, failures};
    FakeSettings settings;
    ConsoleLink link;
    WebOptions options{.address = "127.0.0.1"};
    std::unique_ptr<WebServer> server;
};

TEST_F(WebConsoleTest, TheFormsSignInAndActOnlyWithTheSessionsToken) {
    EXPECT_EQ(send("GET", "/media", "").status, 303) << "a browser is led to the form";
    const auto bad = send("POST", "/signin", "Content-Type: application/x-www-form-urlencoded\r\n",
                          "user=boss&password=wrong");
    EXPECT_EQ(bad.status, 401);

    const auto [cookie, csrf] = signIn("boss", "s3cret");
    ASSERT_EQ(csrf.size(), 43u);
    const auto page = send("GET", "/media", cookie);
    EXPECT_EQ(page.status, 200);
    EXPECT_NE(page.body.find("経理"), std::string::npos);

    const std::string form = "Content-Type: application/x-www-form-urlencoded\r\n";
    // A forged post: no token, a wrong one, or the token without the session.
    EXPECT_EQ(send("POST", "/media/approve", cookie + form, "serial=1111").status, 403);
    EXPECT_EQ(send("POST", "/media/approve", cookie + form, "serial=1111&csrf=x").status, 403);
    EXPECT_EQ(
        send("POST", "/media/approve", form + basic("boss", "s3cret"), "serial=1111&csrf=" + csrf)
            .status,
        403);
    EXPECT_EQ(count("SELECT count(*) FROM RemList"), 0) << "nothing changed";

    const auto approved = send("POST", "/media/approve", cookie + form,
                               "serial=1111&user_ids=u1+u9&remark=ok&csrf=" + csrf);
    EXPECT_EQ(approved.status, 200) << approved.body;
    EXPECT_EQ(count("SELECT count(*) FROM RemList WHERE DselNo = '1111' AND UserID = 'u1 u9'"), 1);
    EXPECT_EQ(count("SELECT count(*) FROM RemList_Add WHERE DselNo = '1111'"), 0);
    EXPECT_EQ(count("SELECT count(*) FROM AuditLog WHERE UserName = 'boss' AND Action = 'approve'"),
              1);

    // Taken out of the users file, the session ends with the next request.
    test::writePrivateBytes(dir.path() / "users", std::string("looker:") + kLookerHash + "\n");
    EXPECT_EQ(send("GET", "/media", cookie).status, 303);
    test::writePrivateBytes(dir.path() / "users", std::string("boss:") + kBossHash +
                                                      ":admin\nlooker:" + kLookerHash + "\n");
    EXPECT_EQ(send("GET", "/media", cookie).status, 303) << "and stays ended";

    // Five failures a minute from one address, then a pause.
    for (int i = 0; i < 5; ++i)
        send("POST", "/signin", form, "user=boss&password=guess" + std::to_string(i));
    EXPECT_EQ(send("POST", "/signin", form, "user=boss&password=s3cret").status, 429);
}

TEST_F(WebConsoleTest, TheApiActsForAdminsWithJsonOnly) {
    const std::string admin = basic("boss", "s3cret"), viewer = basic("looker", "look");
    const std::string asJson = "Content-Type: application/json\r\n";
    EXPECT_EQ(send("GET", "/api/requests", "").status, 401);
    const auto listed = send("GET", "/api/requests", viewer);
    EXPECT_EQ(listed.status, 200);
    EXPECT_NE(listed.body.find("\"serial\": \"2222\""), std::string::npos) << listed.body;
    EXPECT_EQ(send("POST", "/api/requests/2222/deny", viewer + asJson, "{}").status, 403);
    EXPECT_EQ(send("POST", "/api/requests/2222/deny", admin + "Content-Type: text/plain\r\n", "{}")
                  .status,
              403)
        << "a type a cross-site form can send";
    EXPECT_EQ(
        send("POST", "/api/requests/1111/approve", admin + asJson, "{\"user_ids\": 5}").status,
        400);
    EXPECT_EQ(
        send("POST", "/api/requests/1111/approve", admin + asJson, "{\"user_ids\": \"a\\r\\nb\"}")
            .status,
        422)
        << "a line break would break the agents' lines";
    EXPECT_EQ(count("SELECT count(*) FROM RemList"), 0);

    EXPECT_EQ(send("POST", "/api/requests/2222/deny", admin + asJson, "{}").status, 200);
    EXPECT_EQ(count("SELECT count(*) FROM RemList_Add WHERE DselNo = '2222'"), 0);
    EXPECT_NE(test::readBytes(dir.path() / "OrvShare" / "REM" / "UnADD").find("2222&16GB&u3"),
              std::string::npos);
    EXPECT_EQ(send("POST", "/api/requests/1111/approve", admin + asJson,
                   "{\"user_ids\": \"<script>\", \"remark\": \"x\"}")
                  .status,
              200);
    const auto media = send("GET", "/api/media", viewer);
    EXPECT_NE(media.body.find("\"user_ids\": \"<script>\""), std::string::npos) << media.body;
    EXPECT_EQ(send("PUT", "/api/media/1111", admin + asJson, "{\"user_ids\": \"u5\"}").status, 200);
    EXPECT_EQ(send("DELETE", "/api/media/1111", admin).status, 200);
    EXPECT_EQ(send("DELETE", "/api/media/1111", admin).status, 404);
    EXPECT_EQ(count("SELECT count(*) FROM RemList"), 0);

    EXPECT_EQ(send("GET", "/api/audit", viewer).status, 403);
    const auto audit = send("GET", "/api/audit?limit=2", admin);
    EXPECT_EQ(audit.status, 200);
    const auto newest = audit.body.find("\"action\": \"delete\"");
    EXPECT_NE(newest, std::string::npos) << audit.body;
    EXPECT_EQ(audit.body.find("\"action\": \"deny\""), std::string::npos) << "two rows only";
}

TEST_F(WebConsoleTest, SettingsChangeThroughTheConsoleAndAreRecorded) {
    const std::string admin = basic("boss", "s3cret"), viewer = basic("looker", "look");
    const std::string asJson = "Content-Type: application/json\r\n";
    const std::string path = R"({"path": "\\\\FS01\\Backup"})";
    EXPECT_EQ(send("POST", "/api/destinations", viewer + asJson, path).status, 403);
    EXPECT_EQ(send("POST", "/api/destinations", admin + asJson, path).status, 201);
    EXPECT_EQ(send("POST", "/api/destinations", admin + asJson, path).status, 200) << "listed";
    const auto silent =
        send("POST", "/api/destinations", admin + asJson, R"({"path": "\\\\silent\\x"})");
    EXPECT_EQ(silent.status, 422);
    EXPECT_NE(silent.body.find("within 5 seconds"), std::string::npos) << silent.body;
    ASSERT_EQ(settings.listed, std::vector<std::string>{"\\\\FS01\\Backup"});
    EXPECT_EQ(send("DELETE", "/api/destinations", admin + asJson, path).status, 200);
    EXPECT_EQ(send("DELETE", "/api/destinations", admin + asJson, path).status, 404);

    EXPECT_EQ(
        send("PUT", "/api/settings/monitoring", admin + asJson, R"({"enabled": "yes"})").status,
        400);
    EXPECT_EQ(
        send("PUT", "/api/settings/monitoring", admin + asJson, R"({"enabled": true})").status,
        200);
    EXPECT_TRUE(settings.on);
    EXPECT_EQ(send("GET", "/api/settings/monitoring", viewer).body, "{\"enabled\": true}\n");
    EXPECT_EQ(send("POST", "/api/errors/clear", admin + asJson).status, 200);
    EXPECT_EQ(settings.clears, 1);
    EXPECT_EQ(count("SELECT count(*) FROM AuditLog WHERE Action = 'add destination'"), 3);

    // The pages: a viewer sees the state and no way to change it.
    const auto page = send("GET", "/settings", viewer);
    EXPECT_EQ(page.status, 200);
    EXPECT_NE(page.body.find("監視しています"), std::string::npos);
    EXPECT_EQ(page.body.find("<form"), std::string::npos);
    const auto overview = send("GET", "/", viewer);
    EXPECT_NE(overview.body.find("メディアの申請</th><td><a href=\"/media\">2</a>"),
              std::string::npos)
        << overview.body;
}

TEST_F(WebConsoleTest, MailSettingsAreSavedWithoutEverSendingThePasswordBack) {
    const std::string admin = basic("boss", "s3cret"), viewer = basic("looker", "look");
    const std::string asJson = "Content-Type: application/json\r\n";
    EXPECT_EQ(send("GET", "/api/settings/mail", viewer).status, 403);
    EXPECT_NE(send("GET", "/api/settings/mail", admin).body.find("\"password_set\": false"),
              std::string::npos);
    const auto saved = send("PUT", "/api/settings/mail", admin + asJson,
                            R"({"server": "127.0.0.1", "port": 1, "security": "none",)"
                            R"( "to": "admin@example.jp", "password": "pw-secret"})");
    EXPECT_EQ(saved.status, 200) << saved.body;
    const auto shown = send("GET", "/api/settings/mail", admin);
    EXPECT_NE(shown.body.find("\"password_set\": true"), std::string::npos) << shown.body;
    EXPECT_EQ(shown.body.find("pw-secret"), std::string::npos);
    EXPECT_NE(test::readBytes(dir.path() / "Mail.ini").find("pw-secret"), std::string::npos);

    // A line break would add a line to Mail.ini; an empty password keeps the one saved.
    EXPECT_EQ(send("PUT", "/api/settings/mail", admin + asJson, R"({"server": "a\r\nPassword=x"})")
                  .status,
              422);
    EXPECT_EQ(send("PUT", "/api/settings/mail", admin + asJson,
                   R"({"from": "console@example.jp", "password": ""})")
                  .status,
              200);
    EXPECT_NE(test::readBytes(dir.path() / "Mail.ini").find("pw-secret"), std::string::npos);
    // Nobody listens on port 1: the test mail says so.
    const auto tried = send("POST", "/api/settings/mail/test", admin + asJson, "{}");
    EXPECT_EQ(tried.status, 422) << tried.body;
    EXPECT_EQ(count("SELECT count(*) FROM AuditLog WHERE Action = 'mail settings'"), 3);
}

TEST_F(WebConsoleTest, HostileValuesInEveryFieldAreRefusedOrKeptAsText) {
    const std::string admin = basic("boss", "s3cret");
    const std::string asJson = "Content-Type: application/json\r\n";
    const std::string longText(10'000, 'x');
    const std::vector<std::string> hostile = {longText, "a\\r\\nb", "<script>alert(1)</script>",
                                              "a&b",    "\\u0000",  "'\\\"--"};
    const std::vector<std::pair<std::string, std::string>> routes = {
        {"POST", "/api/requests/1111/approve"},
        {"PUT", "/api/media/1111"},
        {"POST", "/api/destinations"},
        {"DELETE", "/api/destinations"},
        {"PUT", "/api/settings/mail"}};
    for (const auto& [method, target] : routes)
        for (const char* name : {"user_ids", "remark", "path", "server", "to", "web_url"})
            for (const std::string& value : hostile) {
                const auto reply = send(method, target, admin + asJson,
                                        std::string("{\"") + name + "\": \"" + value + "\"}");
                EXPECT_NE(reply.status, 500) << method << " " << target << " " << name;
                EXPECT_NE(reply.status, 0) << "the connection held";
            }
    // What was refused changed nothing; what was taken is shown as text. (The
    // destinations' own rules are the settings tests'; here the console is a fake.)
    EXPECT_EQ(count("SELECT count(*) FROM RemList WHERE length(UserID) > 255 OR "
                    "UserID LIKE '%' || char(13) || '%'"),
              0);
    const auto media = send("GET", "/media", basic("looker", "look"));
    EXPECT_EQ(media.body.find("<script>alert"), std::string::npos);
}

TEST_F(WebConsoleTest, AgentsAreCountedListedAndShownAsText) {
    const auto agent = [&](const std::string& host, const std::string& user,
                           const std::string& codes) {
        store::openMng(ctx.base)
            .prepare(
                "INSERT INTO UserLog (ComNM, UserID, UserName, ErNo, UPDT) "
                "VALUES (?1, ?2, '<b>x</b>', ?3, '2026-12-01 09:00:00')")
            .bind(1, host)
            .bind(2, user)
            .bind(3, codes)
            .run();
    };
    agent("PC01", "u1", "");
    agent("PC02", "u2", "08");
    agent("PC<3>", "u'3", "08,15");
    std::filesystem::create_directories(dir.path() / "HTM");
    test::writeBytes(dir.path() / "HTM" / "status.json",
                     "{\"agents\": [], \"passes\": [{\"kind\": \"import\", "
                     "\"last_duration_seconds\": 1.5, \"last_success\": "
                     "\"2026-12-01T09:00:00+09:00\"}]}\n");
    const std::string viewer = basic("looker", "look");
    const auto summary = send("GET", "/api/summary", viewer);
    for (const char* part :
         {"\"total\": 3", "\"ok\": 1", "\"with_codes\": 2", "\"stale\": 1", "\"unreachable\": 2",
          "\"requests_pending\": 2", "\"last_duration_seconds\": 1.5"})
        EXPECT_NE(summary.body.find(part), std::string::npos) << part << "\n" << summary.body;
    // A running console tells its passes itself: status.json is left alone
    // while nothing in it but the times changes.
    settings.passes = {{"import", 0.25, "2026-12-01T09:01:00+09:00"}};
    const auto live = send("GET", "/api/summary", viewer).body;
    EXPECT_NE(live.find("\"last_duration_seconds\": 0.25"), std::string::npos) << live;
    EXPECT_NE(send("GET", "/", viewer).body.find("2026-12-01T09:01:00+09:00"), std::string::npos);

    const auto unreachable = send("GET", "/agents?code=08&sort=report", viewer);
    EXPECT_EQ(unreachable.status, 200);
    EXPECT_EQ(unreachable.body.find(">PC01<"), std::string::npos);
    EXPECT_NE(unreachable.body.find("PC&lt;3&gt;"), std::string::npos) << "names are text";
    EXPECT_EQ(unreachable.body.find("<b>x</b>"), std::string::npos);
    EXPECT_NE(unreachable.body.find("2 件"), std::string::npos);
    EXPECT_EQ(send("GET", "/agents?sort=1;DROP%20TABLE%20UserLog", viewer).status, 200);
    EXPECT_EQ(count("SELECT count(*) FROM UserLog"), 3);
    const auto one = send("GET", "/agents/PC%3C3%3E/u'3", viewer);
    EXPECT_EQ(one.status, 200);
    EXPECT_NE(one.body.find("/log/PC%3C3%3E/u%273"), std::string::npos) << one.body;
    EXPECT_EQ(send("GET", "/agents/PC09/u9", viewer).status, 404);
}

TEST_F(WebConsoleTest, ThePastOfAgentsAndSharesIsDrawnAndTodaysChangesListed) {
    store::Connection db = store::openMng(ctx.base);
    db.exec(
        "INSERT INTO UserLog (ComNM, UserID, RSRT, ErNo, UPDT) "
        "VALUES ('PC<3>', 'u''3', '80%', '', '2026-12-01 09:00:00')");
    db.exec("UPDATE UserLog SET ErNo = '08'");  // as a check would
    // Six daily surveys, 10 more bytes used each day: full in 14 days.
    db.exec(
        "INSERT INTO ShareDriveInfo (ComNM, SharePath, UsageVate) VALUES "
        "('FS01', '\\\\FS01\\<Backup>', 86)");
    for (int day = 5; day >= 0; --day)
        db.exec("INSERT INTO ShareHistory VALUES (datetime('now', 'localtime', '-" +
                std::to_string(day) + " days'), 'FS01', '\\\\FS01\\<Backup>', 1000, " +
                std::to_string(140 + 10 * day) + ")");
    const std::string viewer = basic("looker", "look");

    const auto agent = send("GET", "/agents/PC%3C3%3E/u'3", viewer);
    ASSERT_EQ(agent.status, 200);
    for (const char* part : {"<svg", "<polyline", "<rect", "<title>08</title>", "<td>08</td>"})
        EXPECT_NE(agent.body.find(part), std::string::npos) << part << "\n" << agent.body;
    EXPECT_EQ(agent.body.find("PC<3>"), std::string::npos);

    const auto overview = send("GET", "/", viewer);
    EXPECT_NE(overview.body.find("href=\"/agents/PC%3C3%3E/u%273\""), std::string::npos)
        << overview.body;
    EXPECT_NE(overview.body.find("なし → 08"), std::string::npos);

    const auto shares = send("GET", "/shares", viewer);
    ASSERT_EQ(shares.status, 200);
    EXPECT_NE(shares.body.find("<h2>\\\\FS01\\&lt;Backup&gt;</h2>"), std::string::npos)
        << shares.body;
    EXPECT_NE(shares.body.find("stroke-dasharray=\"6,4\""), std::string::npos) << "the forecast";
    EXPECT_NE(shares.body.find("満杯まで約 14 日"), std::string::npos) << shares.body;
}

}  // namespace
}  // namespace plenvo::web
