#include "settings/setting_actions.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "store/mng_database.h"
#include "support/fake_clock.h"
#include "support/temp_dir.h"

namespace plenvo::settings {
namespace {

namespace fs = std::filesystem;
using Kind = SettingResult::Kind;

constexpr const char* kShareFolder = "\\\\SRV01\\OrvShare$";

std::string upper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

class SettingActions : public ::testing::Test {
  protected:
    SettingActions() {
        fs::create_directories(base / "OrvShare");
        store::installMngDatabase(base / "Mng.mdb");
    }

    std::string folder(const std::string& name) {
        const fs::path path = dir.path() / "server" / name;
        fs::create_directories(path);
        return path.string();
    }
    std::vector<std::string> listed() {
        auto db = store::openMng(ctx.base);
        std::vector<std::string> rows;
        auto q = db.prepare("SELECT ToBkup FROM ToBkupList ORDER BY rowid");
        while (q.step()) rows.push_back(q.text(0).value_or("<null>"));
        return rows;
    }
    void insert(const std::string& path) {
        store::openMng(ctx.base)
            .prepare("INSERT INTO ToBkupList (ToBkup) VALUES (?1)")
            .bind(1, path)
            .run();
    }
    SettingResult add(const std::string& path) { return addDestination(ctx, kShareFolder, path); }
    fs::path allowList() const { return base / "OrvShare" / "REM" / "RM"; }

    test::TempDir dir;
    const fs::path base = dir.path() / "base";
    test::FakeClock clock;
    test::RecordingFailureLog failures;
    const platform::RunContext ctx{platform::BaseFolder(base), clock, failures};
    store::MonitoringFlag flag;
};

TEST_F(SettingActions, AddWritesThePointerFileAndListsAFolderOnceWhateverItsSpelling) {
    const std::string d = folder("bk");
    EXPECT_EQ(add(d).kind, Kind::done);
    EXPECT_EQ(listed(), std::vector<std::string>{d});
    EXPECT_EQ(test::readBytes(fs::path(d) / "SRV.ini"),
              std::string("SVShareFol=") + kShareFolder + "\r\n");

    fs::remove(fs::path(d) / "SRV.ini");
    const std::string inner = d.substr(0, d.size() - 3) + "\\\\.//bk";
    for (const std::string& spelling :
         {d + "\\", d + "/", d + "\\.\\", d + "/./.", upper(d), inner}) {
        const SettingResult again = add(spelling);
        EXPECT_EQ(again.kind, Kind::unchanged) << spelling << ": " << again.why;
    }
    EXPECT_EQ(listed(), std::vector<std::string>{d});
    // Known already: the folder is not even written to.
    EXPECT_FALSE(fs::exists(fs::path(d) / "SRV.ini"));
}

TEST_F(SettingActions, AddRefusesAFolderItCannotWriteInto) {
    const fs::path file = dir.path() / "plain";
    test::writeBytes(file, "x");
    for (const std::string& path :
         {(file / "sub").string(), file.string(), (dir.path() / "missing").string()}) {
        const SettingResult result = add(path);
        EXPECT_EQ(result.kind, Kind::refused) << path;
        EXPECT_NE(result.why.find("SRV.ini"), std::string::npos) << result.why;
    }
    EXPECT_TRUE(listed().empty());
}

TEST_F(SettingActions, AddRefusesWhatNamesNoWholeFolder) {
    const std::string d = folder("bk");
    const std::string under = (dir.path() / "plain").string() + "\\";
    test::writeBytes(dir.path() / "plain", "x");
    std::string longest = under;
    while (longest.size() < kDestinationChars) longest += "a";
    for (const std::string& path :
         {std::string(), std::string("bk"), std::string("C:bk"), std::string("\\\\srv"),
          std::string("\\\\srv\\"), std::string("\\\\srv\\..\\x"), std::string("\\\\?\\C:\\x"),
          std::string("\\\\.\\pipe\\x"), std::string("//?/UNC/srv/share"), d + "\\..\\bk",
          d + "\\ . \\x", d + "\nx", d + "\x7f", d + "\xc2\x85", d + "\xff", longest + "a",
          under + std::string(kDestinationChars, 'a')}) {
        const SettingResult result = add(path);
        EXPECT_EQ(result.kind, Kind::refused) << path;
        EXPECT_EQ(result.why.find("SRV.ini"), std::string::npos) << path << ": " << result.why;
    }
    // As long as may be, in characters rather than bytes: only the write fails.
    const std::string japanese =
        under + "あ" + std::string(kDestinationChars - under.size() - 1, 'a');
    EXPECT_NE(add(japanese).why.find("SRV.ini"), std::string::npos);
    EXPECT_NE(add(longest).why.find("SRV.ini"), std::string::npos);
    EXPECT_TRUE(listed().empty());
    EXPECT_TRUE(failures.lines.empty());
}

TEST_F(SettingActions, RemoveTakesEveryRowOfTheFolderAndLeavesItsPointerFile) {
    const std::string d = folder("bk"), e = folder("other");
    ASSERT_EQ(add(d).kind, Kind::done);
    insert(d + "\\");  // listed twice by an older console
    insert(e);

    EXPECT_EQ(removeDestination(ctx, upper(d) + "/.").kind, Kind::done);
    EXPECT_EQ(listed(), std::vector<std::string>{e});
    EXPECT_TRUE(fs::exists(fs::path(d) / "SRV.ini"));

    EXPECT_EQ(removeDestination(ctx, d).kind, Kind::notFound);
    EXPECT_EQ(removeDestination(ctx, e + "\\..").kind, Kind::notFound);
    EXPECT_EQ(listed(), std::vector<std::string>{e});
}

TEST_F(SettingActions, MonitoringSwitchIsSavedTakenInAndFollowedByTheAllowList) {
    // The flag is read back from the database, so it shows what was saved.
    EXPECT_EQ(setMonitoring(ctx, flag, true).kind, Kind::done);
    EXPECT_TRUE(flag.isOn());
    EXPECT_TRUE(fs::exists(allowList()));

    EXPECT_EQ(setMonitoring(ctx, flag, false).kind, Kind::done);
    EXPECT_FALSE(flag.isOn());
    EXPECT_FALSE(fs::exists(allowList()));
}

TEST_F(SettingActions, ClearErrorsEmptiesEveryAgentsCodes) {
    store::openMng(ctx.base).exec(
        "INSERT INTO UserLog (ComNM, UserID, ErNo) VALUES ('PC1', 'u1', '07,15'), ('PC2', 'u2', "
        "'08')");
    EXPECT_EQ(clearErrors(ctx).kind, Kind::done);
    auto db = store::openMng(ctx.base);
    auto q = db.prepare("SELECT count(*) FROM UserLog WHERE ErNo <> ''");
    ASSERT_TRUE(q.step());
    EXPECT_EQ(q.integer(0), 0);
}

TEST_F(SettingActions, WithoutTheDatabaseEveryActionFailsAndSaysSo) {
    const std::string d = folder("bk");
    fs::remove(base / "Mng.mdb");
    for (const SettingResult& result :
         {add(d), removeDestination(ctx, d), clearErrors(ctx), setMonitoring(ctx, flag, true)}) {
        EXPECT_EQ(result.kind, Kind::failed);
        EXPECT_FALSE(result.why.empty());
    }
    EXPECT_EQ(failures.lines.size(), 4u);
    EXPECT_FALSE(fs::exists(fs::path(d) / "SRV.ini"));
}

}  // namespace
}  // namespace plenvo::settings
