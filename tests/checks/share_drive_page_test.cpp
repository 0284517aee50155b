#include "pages/share_drive_page.h"

#include "check_fixture.h"
#include "platform/text/text_file.h"

namespace plenvo::test {
namespace {

class ShareDrivePage : public CheckFixture {
  protected:
    void addShare(const std::string& comNm, const std::string& drv, const std::string& sharePath,
                  store::DbValue size, store::DbValue space, store::DbValue rate) {
        auto c = db();
        auto st = c.prepare(
            "INSERT INTO ShareDriveInfo (ComNM, Drv, DrvSystem, SharePath, DrvSize, DrvSpace, "
            "UsageVate, VolumeName) "
            "VALUES (?1, ?2, 'NTFS', ?3, ?4, ?5, ?6, 'Vol<1>')");
        st.bind(1, comNm)
            .bind(2, drv)
            .bind(3, sharePath)
            .bind(4, size)
            .bind(5, space)
            .bind(6, rate)
            .run();
    }
    std::filesystem::path page() const { return dir.path() / "HTM" / "DiskChk.htm"; }
    std::vector<std::string> lines() { return platform::readAllLines(page()); }
    static std::string bars(int red, int blue) {
        return "<span style='font-size:9.0pt;color:red'>" + std::string(red, '|') +
               "</span><span style='font-size:9.0pt;color:blue'>" + std::string(blue, '|') +
               "</span> ";
    }
};

TEST_F(ShareDrivePage, EmptyTableLeavesAnEarlierPageAlone) {
    writeBytes(page(), "earlier");
    pages::writeShareDrivePage(ctx);
    EXPECT_EQ(readBytes(page()), "earlier");
}

TEST_F(ShareDrivePage, PageLayout) {
    using store::DbValue;
    addShare("srv02", "C:", "\\\\srv02\\b", DbValue{500105249792.0}, DbValue{1073741823.0},
             DbValue{std::int64_t{75}});
    addShare("SRV01", "D:", "\\\\SRV01\\Backup", DbValue{2000.0 * 1073741824},
             DbValue{1500.0 * 1073741824}, DbValue{std::int64_t{100}});
    addShare("srv01", "D:", "\\\\SRV01\\A&B", DbValue{}, DbValue{}, DbValue{});
    pages::writeShareDrivePage(ctx);

    const std::string bytes = readBytes(page());
    // Every head and row line is followed by an empty line; the UpDate line ends the file.
    EXPECT_TRUE(bytes.starts_with("<HTML><head>\r\n\r\n" +
                                  platform::encodeCp932("<TITLE>共有ディスク情報</TITLE>")));
    EXPECT_TRUE(bytes.ends_with("</TR>\r\n\r\n<p>UpDate:2009/10/08 0:01:00</p>\r\n"));
    const auto all = lines();
    ASSERT_EQ(all.size(), 19u * 2 + 3 * 12 * 2 + 1);
    for (size_t i = 1; i + 1 < all.size(); i += 2) EXPECT_EQ(all[i], "") << "line " << i;
    EXPECT_EQ(all[8], "<META   HTTP-EQUIV=\"refresh\" CONTENT=600>");

    // Sorted by computer name without case, then drive and share path; colours alternate.
    const auto block = [&](int n, int line) { return all[38 + n * 24 + line * 2]; };
    EXPECT_EQ(block(0, 0), "  <TR bgcolor=#CCFFCC style='font-size:9.0pt'>");
    EXPECT_EQ(block(0, 4), "      <TD ROWSPAN=2 width=170 ALIGN=left>\\\\SRV01\\A&amp;B</TD>");
    EXPECT_EQ(block(0, 5), "      <TD width=170 style='text-align:right'>-KB (-GB)</TD>");
    EXPECT_EQ(block(0, 6), "      <TD ROWSPAN=2 width=200 ALIGN=left>" + bars(0, 0) + "-%</TD>");
    EXPECT_EQ(block(1, 0), "  <TR bgcolor=#FFFFCC style='font-size:9.0pt'>");
    EXPECT_EQ(block(1, 5),
              "      <TD width=170 style='text-align:right'>2,097,152,000KB (2,000GB)</TD>");
    EXPECT_EQ(block(1, 6), "      <TD ROWSPAN=2 width=200 ALIGN=left>" + bars(50, 0) + "100%</TD>");
    EXPECT_EQ(block(1, 9), "      <TD width=120 ALIGN=center>Vol&lt;1&gt;</TD>");
    EXPECT_EQ(block(1, 10), "      <TD width=170 ALIGN=right>1,572,864,000KB (1500GB)</TD>");
    EXPECT_EQ(block(2, 0), "  <TR bgcolor=#CCFFCC style='font-size:9.0pt'>");
    EXPECT_EQ(block(2, 1), "      <TD ROWSPAN=2 width=100 ALIGN=center>srv02</TD>");
    EXPECT_EQ(block(2, 5),
              "      <TD width=170 style='text-align:right'>488,384,033KB (465GB)</TD>");
    EXPECT_EQ(block(2, 6), "      <TD ROWSPAN=2 width=200 ALIGN=left>" + bars(37, 13) + "75%</TD>");
    EXPECT_EQ(block(2, 10), "      <TD width=170 ALIGN=right>1,048,576KB (0GB)</TD>");
    EXPECT_EQ(block(2, 11), "    </TR>");
}

TEST_F(ShareDrivePage, UsageBars) {
    using store::DbValue;
    const std::pair<std::int64_t, std::pair<int, int>> cases[] = {
        {0, {0, 50}}, {1, {0, 50}}, {3, {1, 49}}};
    for (const auto& [rate, expected] : cases)
        addShare("s" + std::to_string(rate), "D:", "x", DbValue{1.0}, DbValue{1.0}, DbValue{rate});
    pages::writeShareDrivePage(ctx);
    const auto all = lines();
    for (size_t n = 0; n < 3; ++n)
        EXPECT_EQ(all[38 + n * 24 + 12], "      <TD ROWSPAN=2 width=200 ALIGN=left>" +
                                             bars(cases[n].second.first, cases[n].second.second) +
                                             std::to_string(cases[n].first) + "%</TD>");
}

TEST_F(ShareDrivePage, NoHtmFolderNoPage) {
    std::filesystem::remove_all(dir.path() / "HTM");
    addShare("s", "D:", "x", store::DbValue{}, store::DbValue{}, store::DbValue{});
    pages::writeShareDrivePage(ctx);
    EXPECT_FALSE(std::filesystem::exists(page()));
    EXPECT_EQ(failures.lines.size(), 1u);
}

}  // namespace
}  // namespace plenvo::test
