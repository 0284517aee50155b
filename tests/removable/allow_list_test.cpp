#include "removable/allow_list.h"

#include "allow_list_fixture.h"
#include "platform/files/dos_attributes.h"
#include "platform/text/text_file.h"

namespace plenvo::removable {
namespace {

namespace fs = std::filesystem;

TEST_F(AllowList, ListsEveryRowForTheAgentsInCp932WithHiddenSystemAttributes) {
    sql("INSERT INTO RemList (DselNo, Size, UserID, Remark, UPDT) VALUES "
        "('-1967333648', '7.45 GB', '山田，鈴木', '経理部', '2009-10-01 09:05:03'), "
        "('12345', '512 MB', 'Any', NULL, '2009-10-02 00:00:00')");
    monitoring(true);
    writeAllowList(ctx, flag);

    EXPECT_EQ(file("RM"),
              platform::encodeCp932("-1967333648&7.45 GB&山田，鈴木&経理部&2009/10/01 9:05:03\r\n"
                                    "12345&512 MB&Any&&2009/10/02\r\n"));
    EXPECT_EQ(platform::attributes(rm()), platform::kHidden | platform::kSystem);
    EXPECT_EQ(platform::attributes(rem()), 0x16);
    // One file, in the folder as spelled on disk, and nothing left beside it.
    EXPECT_EQ(folderNames(), std::vector<std::string>{"RM"});
    EXPECT_TRUE(failures.lines.empty());
}

TEST_F(AllowList, AnEmptyListIsAnEmptyFileAndMonitoringOffLeavesNone) {
    monitoring(true);
    writeAllowList(ctx, flag);
    ASSERT_TRUE(fs::exists(rm()));
    EXPECT_EQ(fs::file_size(rm()), 0u);

    fs::remove_all(rem());
    monitoring(false);
    writeAllowList(ctx, flag);
    EXPECT_FALSE(fs::exists(rm()));
    EXPECT_TRUE(fs::is_directory(rem())) << "the folder is made all the same";

    // No database at start-up leaves the flag empty, which counts as off.
    monitoring(true);
    writeAllowList(ctx, flag);
    flag.set("");
    writeAllowList(ctx, flag);
    EXPECT_FALSE(fs::exists(rm()));
}

TEST_F(AllowList, IsRewrittenWithEveryChangeAndKeptWithoutTheDatabase) {
    sql("INSERT INTO RemList (DselNo, Size, UserID, Remark, UPDT) VALUES ('1', '1 GB', 'Any', "
        "'old', NULL)");
    monitoring(true);
    writeAllowList(ctx, flag);
    sql("UPDATE RemList SET Remark = 'new'");
    writeAllowList(ctx, flag);
    EXPECT_EQ(file("RM"), "1&1 GB&Any&new&\r\n");
    EXPECT_EQ(platform::attributes(rm()), platform::kHidden | platform::kSystem);
    EXPECT_EQ(folderNames(), std::vector<std::string>{"RM"});

    // Without the database the agents keep the last list.
    fs::remove(dir.path() / "Mng.mdb");
    writeAllowList(ctx, flag);
    EXPECT_EQ(file("RM"), "1&1 GB&Any&new&\r\n");
    EXPECT_EQ(failures.lines.size(), 1u);
}

TEST_F(AllowList, StartUpRestoresAnEmptyTablePassingOverShortLines) {
    test::writeCp932Lines(rm(), {" 111 & 1 GB & 山田 & 備考 & 2009/10/01 9:05:03 ", "222&2 GB&Any",
                                 "", "333&3 GB&Any&&2009/10/03&extra", "444&4 GB&Any&x&someday"});
    restoreRegisteredMedia(ctx);
    EXPECT_EQ(
        rows("SELECT DselNo||'|'||Size||'|'||UserID||'|'||Remark||'|'||ifnull(UPDT,'-')||'|'||"
             "ifnull(USDT,'-') FROM RemList ORDER BY rowid"),
        (std::vector<std::string>{"111|1 GB|山田|備考|2009-10-01 09:05:03|-",
                                  "333|3 GB|Any||2009-10-03 00:00:00|-", "444|4 GB|Any|x|-|-"}));
    EXPECT_EQ(failures.lines.size(), 3u) << "two short lines and one date";
    EXPECT_EQ(rows("SELECT RemChkFlg FROM Setting"), std::vector<std::string>{"1"});

    // What the writer writes comes back as it was.
    monitoring(true);
    writeAllowList(ctx, flag);
    const std::string written = file("RM");
    sql("DELETE FROM RemList");
    restoreRegisteredMedia(ctx);
    writeAllowList(ctx, flag);
    EXPECT_EQ(file("RM"), written);
}

TEST_F(AllowList, StartUpLeavesAFilledTableAndAnExistingSettingAlone) {
    sql("INSERT INTO Setting (RemChkFlg) VALUES (0)");
    restoreRegisteredMedia(ctx);  // no file: only the setting is looked at
    EXPECT_EQ(rows("SELECT RemChkFlg FROM Setting"), std::vector<std::string>{"0"});

    sql("INSERT INTO RemList (DselNo) VALUES ('1')");
    test::writeCp932Lines(rm(), {"2&1 GB&Any&&2009/10/01"});
    restoreRegisteredMedia(ctx);
    EXPECT_EQ(rows("SELECT DselNo FROM RemList"), std::vector<std::string>{"1"});
}

}  // namespace
}  // namespace plenvo::removable
