#include <gtest/gtest.h>

#include "pages/backup_list_page.h"
#include "platform/core/base64.h"
#include "platform/text/text_file.h"
#include "platform/text/utf8_path.h"
#include "store/mng_database.h"
#include "support/fake_clock.h"
#include "support/temp_dir.h"
#include "web/destination_files.h"
#include "web/log_tail.h"
#include "web/request_path.h"
#include "web/routes.h"
#include "web/users_file.h"
#include "web/web_options.h"

namespace plenvo::web {
namespace {

using platform::utf8Of;

TEST(RequestPath, SegmentsAreDecodedOnceAndTricksGoNowhere) {
    EXPECT_EQ(pathSegments("/"), std::vector<std::string>{});
    EXPECT_EQ(pathSegments("/log/PC%2001/%E5%B1%B1?x=1#y"),
              (std::vector<std::string>{"log", "PC 01", "山"}));
    // Decoded once: a double-encoded dot stays the literal name "%2e%2e".
    EXPECT_EQ(pathSegments("/log/%252e%252e/u"), (std::vector<std::string>{"log", "%2e%2e", "u"}));
    for (const char* target :
         {"", "log", "/log/../u", "/log/%2e%2e/u", "/log/%2E/u", "/log/a%2Fb/u", "/log/a%2fb/u",
          "/log//u", "/log/u/", "/log/%00/u", "/log/%0a/u", "/log/%zz/u", "/log/u%2", "/log/u%"})
        EXPECT_FALSE(pathSegments(target)) << target;
    EXPECT_EQ(pathSegments("/log/PC01/OFFICE%5Ctanaka"),
              (std::vector<std::string>{"log", "PC01", "OFFICE\\tanaka"}));
    EXPECT_EQ(percentEncoded("PC 02/山"), "PC%2002%2F%E5%B1%B1");
}

TEST(WebOptions, AddressesAndWhatAPublicOneNeeds) {
    EXPECT_EQ(parseListenAddress("127.0.0.1:8080"),
              (std::pair<std::string, int>{"127.0.0.1", 8080}));
    EXPECT_EQ(parseListenAddress("[::1]:80"), (std::pair<std::string, int>{"::1", 80}));
    EXPECT_EQ(parseListenAddress("8080"), (std::pair<std::string, int>{"127.0.0.1", 8080}));
    for (const char* bad : {"0", "127.0.0.1", ":80", "host:0", "host:65536", "::1:80", "a:8x"})
        EXPECT_FALSE(parseListenAddress(bad)) << bad;
    for (const char* loop : {"127.0.0.1", "127.1.2.3", "::1", "localhost", "LocalHost"})
        EXPECT_TRUE(isLoopback(loop)) << loop;
    for (const char* open : {"0.0.0.0", "::", "192.168.1.5", "127.0.0.1.example.com", "127.0.0"})
        EXPECT_FALSE(isLoopback(open)) << open;

    WebOptions options{.address = "0.0.0.0", .port = 8080};
    const auto refusal = servingRefusal(options);
    ASSERT_TRUE(refusal);
    EXPECT_NE(refusal->find("--http-users"), std::string::npos) << *refusal;
    options.address = "127.0.0.1";
    EXPECT_FALSE(servingRefusal(options));
    options.keyFile = "key.pem";
    EXPECT_TRUE(servingRefusal(options)) << "a key without a certificate";
}

TEST(UsersFile, LinesAndCredentials) {
    const auto users = UsersFile::parse("# admins\r\nadmin:$6$salt$hash\r\n\r\nops:$6$x$y\n");
    ASSERT_TRUE(std::holds_alternative<UsersFile>(users));
    EXPECT_EQ(std::get<UsersFile>(users).size(), 2u);
    for (const char* bad : {"", "# nobody\n", "admin\n", "admin:plain\n", ":$6$x$y\n"})
        EXPECT_TRUE(std::holds_alternative<std::string>(UsersFile::parse(bad))) << bad;
    // "admin:pa:ss" in base64; the password may hold colons.
    EXPECT_EQ(basicCredentials("Basic YWRtaW46cGE6c3M="),
              (std::pair<std::string, std::string>{"admin", "pa:ss"}));
    EXPECT_FALSE(basicCredentials("Bearer YWRtaW46cGE6c3M="));
    EXPECT_FALSE(basicCredentials("Basic !!!"));
    EXPECT_FALSE(std::get<UsersFile>(users).basic("Basic bm9ib2R5OnB3"));  // nobody:pw
}

// A hash of "Hello world!" by `openssl passwd -6 -salt saltstring`.
const std::string kHelloWorldHash =
    "$6$saltstring$svn8UoSVapNtMuq1ukKS4tPQd8iKwSMHWjl/O817G3uBnIFNjnQJuesI68u4OTLiBFdcbYEdFCoEOfa"
    "S35inz1";

std::string usersFileRefusal(const std::string& text) {
    const auto parsed = UsersFile::parse(text);
    const auto* why = std::get_if<std::string>(&parsed);
    return why ? *why : "(taken)";
}

TEST(UsersFile, RolesFromTheThirdField) {
    const std::string text = "boss:" + kHelloWorldHash + ":admin\nclerk:" + kHelloWorldHash +
                             "\nguest:" + kHelloWorldHash + ":viewer\n";
    const auto parsed = UsersFile::parse(text);
    ASSERT_TRUE(std::holds_alternative<UsersFile>(parsed)) << usersFileRefusal(text);
    const auto& users = std::get<UsersFile>(parsed);
    const auto boss = users.check("boss", "Hello world!");
    ASSERT_TRUE(boss);
    EXPECT_EQ(boss->user, "boss");
    EXPECT_EQ(boss->role, Role::admin);
    EXPECT_EQ(users.check("clerk", "Hello world!")->role, Role::viewer);
    EXPECT_EQ(users.check("guest", "Hello world!")->role, Role::viewer);
    EXPECT_FALSE(users.check("boss", "hello world!"));
    EXPECT_FALSE(users.check("Boss", "Hello world!"));
    // An unknown user is checked against one of the file's hashes, and still refused.
    EXPECT_FALSE(users.check("nobody", "Hello world!"));
    const auto signedIn = users.basic("Basic " + platform::base64Encoded("boss:Hello world!"));
    ASSERT_TRUE(signedIn);
    EXPECT_EQ(signedIn->user, "boss");
    EXPECT_EQ(signedIn->role, Role::admin);
    EXPECT_FALSE(users.basic("Basic " + platform::base64Encoded("boss:Hello")));

    for (const std::string role : {"Admin", "root", "", "admin:x", "view er"})
        EXPECT_EQ(usersFileRefusal("# users\nboss:" + kHelloWorldHash + ":" + role).find("line 2"),
                  0u)
            << role;
}

TEST(UsersFile, WeakUnknownOrCostlyHashesAreRefusedNamingTheUser) {
    const auto refused = [](const std::string& hash, const std::string& why) {
        const std::string text =
            usersFileRefusal("ok:" + kHelloWorldHash + "\nbob:" + hash + ":admin\n");
        EXPECT_NE(text.find("user \"bob\""), std::string::npos) << hash << ": " << text;
        EXPECT_NE(text.find("line 2"), std::string::npos) << text;
        EXPECT_NE(text.find(why), std::string::npos) << hash << ": " << text;
        EXPECT_NE(text.find("openssl passwd -6"), std::string::npos) << text;
    };
    refused("$1$salt$IXp9zPHZ94CMcVBXaZFPN/", "MD5");
    refused("$apr1$salt$dIQSC7CZVMfwYUarWFsjy0", "MD5");
    refused("abzlUXK5ed5rs", "DES");
    refused("$zz$salt$hash", "cannot check");
    refused("$6$rounds=999999999$salt$hash", "999999999 rounds");
    refused("$6$rounds=1000001$salt$hash", "1000001 rounds");
    EXPECT_EQ(usersFileRefusal("bob:$6$rounds=1000000$salt$hash"), "(taken)");
    // Not even a weak hash: the line is told as before.
    EXPECT_EQ(usersFileRefusal("bob:s3cret"),
              "line 1 is no user:hash (hash from `openssl passwd -6`)");
}

TEST(LogTail, NewestLineFirstAndTheCutLineLeftOut) {
    platform::FileTail whole{platform::encodeCp932("一行目\r\n二行目\r\n三行目\r\n"), 0};
    whole.size = whole.bytes.size();
    EXPECT_EQ(newestLinesFirst(whole), "三行目\n二行目\n一行目\n");

    // The last bytes of a longer file start inside a line: that line is not shown.
    platform::FileTail cut{platform::encodeCp932("目\r\n二行目\r\n三行目"), 5000};
    const std::string text = newestLinesFirst(cut);
    EXPECT_TRUE(text.starts_with("三行目\n二行目\n(the last ")) << text;
    EXPECT_EQ(text.find("目\n目"), std::string::npos);
}

std::string withoutLinks(std::string page) {
    for (std::size_t at = 0; (at = page.find("href='", at)) != std::string::npos;) {
        at += 6;
        page.erase(at, page.find('\'', at) - at);
    }
    return page;
}

class WebSiteTest : public ::testing::Test {
  protected:
    WebSiteTest() {
        store::installMngDatabase(dir.path() / "Mng.mdb");
        std::filesystem::create_directories(dir.path() / "OrvShare" / "RST");
        std::filesystem::create_directories(dir.path() / "HTM" / "img");
        test::writeBytes(dir.path() / "HTM" / "img" / "Hatena.GIF", "GIF89a-hatena");
        const auto backup = dir.path() / "backup";
        std::filesystem::create_directories(backup / "PC01");
        std::filesystem::create_directories(backup / "PC 02");
        test::writeCp932Lines(backup / "PC01" / "Log.txt", {"開始", "コピー", "終了"});
        test::writeBytes(backup / "a&b'x.txt", "12345");
        addRow("PC01", "tanaka", backup / "PC01");
        addRow("PC 02", "山田", backup / "PC 02");
        listDestination(backup);
        pages::writeBackupListPage(ctx);
    }
    void listDestination(const std::filesystem::path& destination) {
        auto db = store::openMng(ctx.base);
        db.prepare("INSERT INTO ToBkupList (ToBkup) VALUES (?1)")
            .bind(1, utf8Of(destination))
            .run();
    }
    void addRow(const std::string& host, const std::string& user,
                const std::filesystem::path& destination) {
        auto db = store::openMng(ctx.base);
        auto st = db.prepare(
            "INSERT INTO UserLog (ComNM, UserID, UserName, ToBkup, UPDT, Status) "
            "VALUES (?1, ?2, 'x', ?3, '2009-10-01 09:00:00', 'Idol')");
        st.bind(1, host).bind(2, user).bind(3, utf8Of(destination)).run();
    }
    // An answer with its body read whole, streamed or not.
    struct WebResponse {
        int status;
        std::string contentType;
        std::string body;
    };
    WebResponse get(std::string_view target) const {
        const HttpResponse answer = site.answer(target);
        std::string body = answer.body;
        if (answer.streamed) {
            body.resize(answer.streamed->size());
            body.resize(answer.streamed->readAt(0, body.data(), body.size()));
        }
        return {answer.status, answer.contentType, std::move(body)};
    }

    test::TempDir dir;
    test::FakeClock clock;
    test::RecordingFailureLog failures;
    const platform::RunContext ctx{platform::BaseFolder(dir.path()), clock, failures};
    WebSite site{platform::BaseFolder(dir.path()), failures};
};

TEST_F(WebSiteTest, TheBackupListLinksEachRowToItsLogAndFolder) {
    const auto page = get("/");
    ASSERT_EQ(page.status, 200);
    EXPECT_EQ(page.contentType, "text/html; charset=Shift_JIS");
    const std::string text = platform::decodeCp932(page.body);
    EXPECT_NE(text.find("<TITLE>バックアップ一覧</TITLE>"), std::string::npos);
    EXPECT_NE(text.find("<a href='/log/PC01/tanaka' TARGET=_blank>"), std::string::npos);
    EXPECT_NE(text.find("<a href='/folder/PC01/tanaka' TARGET=_blank><IMG SRC=./img/Rest.gif"),
              std::string::npos);
    // The pair whose viewer file is named by its digest.
    EXPECT_NE(text.find("href='/log/PC%2002/%E5%B1%B1%E7%94%B0'"), std::string::npos);
    EXPECT_NE(text.find("href='/folder/PC%2002/%E5%B1%B1%E7%94%B0'"), std::string::npos);
    EXPECT_EQ(text.find("./VBS/"), std::string::npos);
    // Nothing but the links changed.
    EXPECT_EQ(withoutLinks(page.body),
              withoutLinks(test::readBytes(dir.path() / "HTM" / "Index.htm")));

    // A row gone leads nowhere, and the page written next no longer has it.
    store::openMng(ctx.base).exec("DELETE FROM UserLog WHERE ComNM = 'PC01'");
    EXPECT_EQ(get("/log/PC01/tanaka").status, 404);
    pages::writeBackupListPage(ctx);
    const std::string later = platform::decodeCp932(get("/Index.htm").body);
    EXPECT_EQ(later.find("PC01"), std::string::npos);
    EXPECT_NE(later.find("href='/log/PC%2002/%E5%B1%B1%E7%94%B0'"), std::string::npos);
}

// A console that serves the view writes its copy of the page in the same
// pass; it is what "/" streams, and it says what the rewrite of the page says.
TEST_F(WebSiteTest, TheViewsCopyOfThePageIsWrittenWithItAndServed) {
    addRow("PC<3>", "a'b&c", dir.path() / "backup" / "PC01");
    pages::writeBackupListPage(ctx);
    const std::string rewritten = get("/").body;
    pages::LogViewerCache viewers;
    struct NoTimes final : platform::FileTimes {
        std::optional<platform::LocalTime> lastModified(const std::string&) const override {
            return std::nullopt;
        }
        void clear() override {}
    } times;
    pages::writeBackupListPage(ctx, viewers, times, pages::WebCopy::yes);
    const auto copy = dir.path() / "HTM" / "IndexWeb.htm";
    EXPECT_EQ(test::readBytes(copy), rewritten);
    EXPECT_EQ(withoutLinks(test::readBytes(copy)),
              withoutLinks(test::readBytes(dir.path() / "HTM" / "Index.htm")));
    EXPECT_NE(platform::decodeCp932(test::readBytes(copy)).find("href='/log/PC%3C3%3E/a%27b%26c'"),
              std::string::npos);

    test::writeBytes(copy, test::readBytes(copy) + "<!-- copy -->");
    EXPECT_NE(get("/").body.find("<!-- copy -->"), std::string::npos) << "the copy is streamed";
    // A copy left from long before the page is not the page's.
    std::filesystem::last_write_time(
        copy, std::filesystem::last_write_time(dir.path() / "HTM" / "Index.htm") -
                  std::chrono::minutes(10));
    EXPECT_EQ(get("/").body.find("<!-- copy -->"), std::string::npos);
}

TEST_F(WebSiteTest, TheLogNewestLineFirstAndTheFolderListed) {
    const auto log = get("/log/PC01/tanaka");
    ASSERT_EQ(log.status, 200) << log.body;
    EXPECT_EQ(log.contentType, "text/plain; charset=utf-8");
    EXPECT_EQ(log.body, "終了\nコピー\n開始\n");
    EXPECT_EQ(get("/log/pc01/TANAKA").body, log.body) << "host names in any letter case";
    addRow("PC04", "OFFICE\\sato", dir.path() / "backup" / "PC01");
    EXPECT_EQ(get("/log/PC04/OFFICE%5Csato").body, log.body);

    const auto folder = get("/folder/PC%2002/%E5%B1%B1%E7%94%B0");
    ASSERT_EQ(folder.status, 200) << folder.body;
    EXPECT_EQ(folder.contentType, "text/html; charset=utf-8");
    EXPECT_NE(folder.body.find("<td>a&amp;b&#39;x.txt</td><td class=n>5</td>"), std::string::npos)
        << folder.body;
    EXPECT_NE(folder.body.find("<td>PC01\\</td>"), std::string::npos);

    // A destination without Log.txt.
    EXPECT_EQ(get("/log/PC%2002/%E5%B1%B1%E7%94%B0").status, 404);
}

TEST_F(WebSiteTest, ALongLogShowsItsLastTwoMegabytes) {
    std::vector<std::string> lines;
    for (int i = 0; i < 60000; ++i)
        lines.push_back("行 " + std::to_string(i) + std::string(40, 'x'));
    test::writeCp932Lines(dir.path() / "backup" / "PC01" / "Log.txt", lines);
    const auto log = get("/log/PC01/tanaka");
    ASSERT_EQ(log.status, 200);
    EXPECT_TRUE(log.body.starts_with("行 59999x")) << log.body.substr(0, 40);
    EXPECT_LE(log.body.size(), kLogTailLimit * 3 / 2) << "the tail alone, decoded";
    EXPECT_EQ(log.body.find("行 0x"), std::string::npos);
    const auto oldest = log.body.rfind("\n行 ");
    ASSERT_NE(oldest, std::string::npos);
    // Whole lines only: the one the cut ran through is left out.
    EXPECT_EQ(log.body.substr(oldest + 1).find(std::string(40, 'x') + "\n"),
              log.body.substr(oldest + 1).find('x'));
}

TEST_F(WebSiteTest, OnlyRowsAndListedImagesCanBeNamed) {
    for (const char* target :
         {"/log/PC09/tanaka", "/log/PC01", "/log/PC01/tanaka/x", "/folder/PC01/nobody",
          "/log/..%2F..%2FMng.mdb/x", "/folder/%2e%2e/%2e%2e", "/img/..%2FIndex.htm",
          "/img/../Mng.mdb", "/HTM/Index.htm", "/VBS/PC01_tanaka_Log.vbs", "/Mng.mdb",
          "/status.json", "/metrics", "/index.htm"})
        EXPECT_EQ(get(target).status, 404) << target;

    const auto image = get("/img/hatena.gif");
    ASSERT_EQ(image.status, 200);
    EXPECT_EQ(image.contentType, "image/gif");
    EXPECT_EQ(image.body, "GIF89a-hatena");

    test::writeBytes(dir.path() / "HTM" / "status.json", "{\"agents\":2}");
    EXPECT_EQ(get("/status.json").contentType, "application/json; charset=utf-8");
    EXPECT_EQ(get("/status.json").body, "{\"agents\":2}");
}

TEST_F(WebSiteTest, TheDestinationIsBrowsedByItsOwnNamesAndSmallFilesDownloaded) {
    const auto destination = dir.path() / "backup" / "PC01";
    const auto sub = destination / platform::pathFromUtf8("資料 & 'x'");
    std::filesystem::create_directories(sub);
    test::writeBytes(sub / platform::pathFromUtf8("報告'書.txt"), "abc");
    // Windows lets only some accounts make links; where none is made, the
    // names are simply not there.
    std::error_code ignored;
    std::filesystem::create_directory_symlink(dir.path(), destination / "escape", ignored);
    std::filesystem::create_symlink(dir.path() / "Mng.mdb", destination / "db", ignored);
    test::writeBytes(destination / "big.bin", "");
    std::filesystem::resize_file(destination / "big.bin", kDownloadLimit + 1);  // sparse

    const auto top = get("/files/PC01/tanaka");
    ASSERT_EQ(top.status, 200) << top.body;
    const std::string subLink = "/files/PC01/tanaka/%E8%B3%87%E6%96%99%20%26%20%27x%27";
    EXPECT_NE(top.body.find("<a href=\"" + subLink + "\">資料 &amp; &#39;x&#39;\\</a>"),
              std::string::npos)
        << top.body;

    const HttpResponse file = site.answer(subLink + "/%E5%A0%B1%E5%91%8A%27%E6%9B%B8.txt");
    ASSERT_EQ(file.status, 200) << file.body;
    EXPECT_EQ(file.body, "abc");
    EXPECT_EQ(file.contentType, "application/octet-stream");
    ASSERT_EQ(file.headers.size(), 1u);
    EXPECT_EQ(file.headers[0].second,
              "attachment; filename*=UTF-8''%E5%A0%B1%E5%91%8A%27%E6%9B%B8.txt");

    EXPECT_EQ(get("/files/PC01/tanaka/big.bin").status, 413);
    // Links are neither walked nor read, nor are names the folder does not hold.
    for (const char* target :
         {"/files/PC01/tanaka/escape", "/files/PC01/tanaka/escape/Mng.mdb", "/files/PC01/tanaka/db",
          "/files/PC01/tanaka/Log.txt/x", "/files/PC01/tanaka/missing",
          "/files/PC01/tanaka/%2e%2e/Mng.mdb", "/files/PC01/tanaka/..%5CMng.mdb"})
        EXPECT_EQ(get(target).status, 404) << target;
    EXPECT_EQ(get("/files/PC01/tanaka/Log.txt").status, 200);
}

TEST_F(WebSiteTest, ADestinationThatClimbsIsNotFollowed) {
    // Agents write the destinations: one that climbs out must not reach the file there.
    test::writeCp932Lines(dir.path() / "Log.txt", {"secret"});
    addRow("PC03", "u3", dir.path() / "backup" / ".." / "backup" / "..");
    EXPECT_EQ(get("/log/PC03/u3").status, 404);
}

TEST_F(WebSiteTest, OnlyFoldersAtOrBelowAListedDestinationAreFollowed) {
    // Agents write their destinations: one naming the base folder, another
    // folder of this machine or a sibling of the listed one shows nothing.
    test::writeCp932Lines(dir.path() / "Log.txt", {"secret"});
    std::filesystem::create_directories(dir.path() / "backup2" / "PC05");
    test::writeCp932Lines(dir.path() / "backup2" / "PC05" / "Log.txt", {"other"});
    addRow("PC03", "u3", dir.path());
    addRow("PC04", "u4", dir.path() / "x");
    addRow("PC05", "u5", dir.path() / "backup2" / "PC05");
    for (const char* target :
         {"/log/PC03/u3", "/folder/PC04/u4", "/log/PC04/u4", "/log/PC05/u5", "/folder/PC05/u5"})
        EXPECT_EQ(get(target).status, 404) << target;
    // Told once per agent, not at every request.
    EXPECT_EQ(get("/log/PC03/u3").status, 404);
    EXPECT_EQ(failures.lines.size(), 3u);
    for (const auto& line : failures.lines)
        EXPECT_NE(line.find("not in the list of backup destinations"), std::string::npos) << line;

    // The row of a destination the administrator lists is followed again; the
    // folder view lists the destination's parent, which must be listed too.
    listDestination(dir.path() / "backup2" / "PC05");
    EXPECT_EQ(get("/log/PC05/u5").status, 200);
    EXPECT_EQ(get("/folder/PC05/u5").status, 404);
    listDestination(dir.path() / "backup2");
    EXPECT_EQ(get("/folder/PC05/u5").status, 200);
}

TEST_F(WebSiteTest, AnUnreadableDatabaseIsToldAndAnswered) {
    test::writeBytes(dir.path() / "Mng.mdb", "not a database");
    const auto answer = get("/log/PC01/tanaka");
    EXPECT_EQ(answer.status, 503);
    EXPECT_EQ(failures.lines.size(), 1u);
    EXPECT_EQ(get("/DiskChk.htm").status, 404) << "no share drive page was written";
}

}  // namespace
}  // namespace plenvo::web
