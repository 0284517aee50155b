#include "removable/rem_list_window.h"

#include "installation.h"

namespace plenvo::removable {
namespace {

namespace fs = std::filesystem;

class ListWindow : public test::Installation {
  protected:
    ui::Control& box(const char* name) { return window.control(name); }
    std::string boxes() {
        return box("DselNoS").text + "|" + box("SizeS").text + "|" + box("UserIDS").text + "|" +
               box("RemarkS").text;
    }
    void select(int line) {
        box("RMLIST").selected = line;
        window.click("RMLIST");
    }

    RemListWindow window{ctx};
};

TEST_F(ListWindow, AnEmptyTableGivesNoHeader) {
    window.Form_Load();
    EXPECT_TRUE(box("RMLIST").lines.empty());
}

TEST_F(ListWindow, ListsByLastUseAndEveryLineSelectsItsOwnEntry) {
    const std::string longUsers(260, 'u');
    sql("INSERT INTO RemList (DselNo, Size, UserID, Remark, UPDT, USDT) VALUES "
        "('1', '1 GB', 'a', 'r1', '2009-10-01 09:05:03', '2009-10-03 00:00:00'), "
        "('2', 'an overlong size', '" +
        longUsers +
        "', 'r2', '2009-10-01 09:05:03', '2009-10-02 10:00:00'), "
        "('3', NULL, 'c|d', NULL, NULL, NULL)");
    window.Form_Load();

    const auto& lines = box("RMLIST").lines;
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "Size      |Update              |UseDate             |Access User ID" +
                            std::string(241, ' ') + "|Serial No" + std::string(21, ' ') + "|");
    EXPECT_EQ(lines[1].substr(0, 54), std::string(10, ' ') + "|" + std::string(20, ' ') + "|" +
                                          std::string(20, ' ') + "|c");
    EXPECT_EQ(lines[2].substr(0, 54), "an overlon|2009/10/01 9:05:03  |2009/10/02 10:00:00 |u");
    EXPECT_EQ(lines[3].size(), lines[2].size());

    select(2);
    EXPECT_EQ(boxes(), "2|an overlong size|" + longUsers + "|r2");
    select(1);
    EXPECT_EQ(boxes(), "3||c|d|");
    select(0);
    EXPECT_EQ(boxes(), "|||");

    fs::remove(dir.path() / "Mng.mdb");
    EXPECT_NO_THROW(select(3));
    EXPECT_EQ(failures.lines.size(), 1u);
}

TEST_F(ListWindow, ChangeSavesTheBoxesAndMovesTheEntryLast) {
    sql("INSERT INTO RemList (DselNo, Size, UserID, Remark, UPDT, USDT) VALUES "
        "('1', '1 GB', 'a', 'r', '2001-01-01 00:00:00', '2001-01-01 00:00:00'), "
        "('2', '2 GB', 'b', 'r', '2002-01-01 00:00:00', '2002-01-01 00:00:00')");
    window.Form_Load();
    window.click("Command1");  // nothing selected: nothing happens
    EXPECT_EQ(rows("SELECT DselNo||USDT FROM RemList ORDER BY USDT")[0], "12001-01-01 00:00:00");

    select(1);
    box("UserIDS").text = "";
    box("RemarkS").text = "USB&HDD";
    window.click("Command1");
    EXPECT_EQ(
        rows("SELECT DselNo||'|'||Size||'|'||UserID||'|'||Remark||'|'||UPDT||'|'||USDT FROM "
             "RemList WHERE "
             "DselNo = '1'"),
        std::vector<std::string>{"1|1 GB|Any|USB HDD|2009-10-01 09:05:03|2009-10-01 09:05:03"});
    EXPECT_EQ(box("RMLIST").lines.back().substr(0, 4), "1 GB");
    EXPECT_EQ(boxes(), "|||");

    // A serial that no row holds is added.
    box("DselNoS").text = "9";
    box("UserIDS").text = "a&b";
    window.click("Command1");
    EXPECT_EQ(rows("SELECT UserID FROM RemList WHERE DselNo = '9'"),
              std::vector<std::string>{"a b"});
}

TEST_F(ListWindow, DeleteRemovesEveryRowOfTheSerial) {
    sql("INSERT INTO RemList (DselNo, USDT) VALUES ('1', '2001-01-01 00:00:00'), ('1', NULL), "
        "('2', NULL)");
    window.Form_Load();
    select(3);
    window.click("Command2");
    EXPECT_EQ(rows("SELECT DselNo FROM RemList"), std::vector<std::string>{"2"});
    EXPECT_EQ(box("RMLIST").lines.size(), 2u);
    EXPECT_EQ(boxes(), "|||");
}

}  // namespace
}  // namespace plenvo::removable
