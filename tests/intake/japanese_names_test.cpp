// Names in Japanese from the base folder down to the page: the import finds the
// result file, the database keeps its name, and the page finds it again by it.
#include <gtest/gtest.h>

#include "intake/result_import.h"
#include "pages/backup_list_page.h"
#include "platform/text/text_file.h"
#include "platform/text/utf8_path.h"
#include "store/mng_database.h"
#include "support/fake_clock.h"
#include "support/temp_dir.h"

namespace plenvo::intake {
namespace {

namespace fs = std::filesystem;
using platform::pathFromUtf8;

TEST(JapaneseNames, AResultFileInAJapaneseBaseFolderReachesThePage) {
    test::TempDir dir;
    const fs::path base = dir.path() / pathFromUtf8("日本");
    const fs::path rst = base / "OrvShare" / "RST";
    fs::create_directories(rst);
    store::installMngDatabase(base / "Mng.mdb");
    test::writeCp932Lines(
        rst / pathFromUtf8("結果.TXT"),
        {"ComNM=PC01", "UserID=u01", "UserName=山田", "Status=Run", "ToBkup=\\\\srv\\bk\\PC01"});
    test::FakeClock clock(platform::SystemClock().now());
    test::RecordingFailureLog failures;
    const platform::RunContext ctx{platform::BaseFolder(base), clock, failures};
    NoAnimation animation;

    importResults(ctx, animation);
    {
        auto db = store::openMng(ctx.base);
        auto rows = db.prepare("SELECT FileNM, UserName FROM UserLog");
        ASSERT_TRUE(rows.step()) << "the result file was not taken in";
        const fs::path stored = pathFromUtf8(rows.text(0).value_or(""));
        EXPECT_EQ(stored.filename(), pathFromUtf8("結果.TXT"));
        EXPECT_TRUE(fs::exists(stored));
        EXPECT_EQ(rows.text(1), "山田");
    }

    // Without the import's memory the page asks the file by its stored name:
    // only a file found there shows the agent running rather than unknown.
    pages::writeBackupListPage(ctx);
    const std::string page = platform::decodeCp932(test::readBytes(base / "HTM" / "Index.htm"));
    EXPECT_NE(page.find("山田(u01)"), std::string::npos);
    EXPECT_NE(page.find("実行中"), std::string::npos);
    EXPECT_TRUE(fs::exists(base / "HTM" / "VBS" / "PC01_u01_Log.vbs"));
    EXPECT_EQ(failures.lines, std::vector<std::string>{});
}

}  // namespace
}  // namespace plenvo::intake
