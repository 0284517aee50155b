#include "removable/rem_chk_window.h"

#include "installation.h"
#include "platform/files/dos_attributes.h"
#include "platform/text/text_file.h"
#include "support/fake_dialogs.h"
#include "support/fake_removable_drives.h"
#include "support/fake_window_host.h"

namespace plenvo::removable {
namespace {

namespace fs = std::filesystem;
using ui::arrayName;

class CheckWindow : public test::Installation {
  protected:
    CheckWindow() { monitoring(true); }

    const ui::Control& at(const char* name, int i) { return window.control(arrayName(name, i)); }
    ui::Control& box(const char* name) { return window.control(name); }
    // Drive name, size, user ids, remark, status, button caption; "*" marks an enabled user id box.
    std::string row(int i) {
        return at("DrvInfo", i).text + "|" + at("Size", i).text + "|" + at("UserID", i).text +
               (at("UserID", i).enabled ? "*" : "") + "|" + at("Remark", i).text + "|" +
               at("STS", i).caption + "|" +
               (at("CHG", i).visible ? at("CHG", i).caption : "hidden");
    }
    void request(const std::string& serial, const std::string& size, const std::string& users,
                 const std::string& remark) {
        sql("INSERT INTO RemList_Add (DselNo, Size, UserID, Remark, UPDT) VALUES ('" + serial +
            "', '" + size + "', '" + users + "', '" + remark + "', '2009-10-01 09:00:00')");
    }
    void select(int line) {
        box("ADDLIST").selected = line;
        window.click("ADDLIST");
    }
    std::string registered() {
        return rows(
            "SELECT "
            "group_concat(DselNo||'|'||Size||'|'||UserID||'|'||Remark||'|'||UPDT||'|'||USDT, ';') "
            "FROM (SELECT * FROM RemList ORDER BY rowid)")[0];
    }

    test::FakeDialogs dialogs;
    test::FakeWindowHost host;
    test::FakeRemovableDrives drives;
    RemChkWindow window{ctx, flag, dialogs, host, drives};
};

TEST_F(CheckWindow, WithMonitoringOffSaysSoAndClosesWithoutAnAllowList) {
    monitoring(false);
    test::writeBytes(rem() / "RM", "old\r\n");
    host.showModal(window);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].caption, "環境設定を行ってください");
    EXPECT_EQ(dialogs.messages[0].text,
              "この機能を利用する場合は、先に「環境設定」で「リムーバブルメディアの監視を行う」にチ"
              "ェックを入れてください");
    EXPECT_EQ(dialogs.messages[0].buttons, ui::MessageButtons::ok);
    EXPECT_TRUE(window.unloadRequested());
    EXPECT_FALSE(fs::exists(rem() / "RM"));
}

TEST_F(CheckWindow, ListsAtMostFiveMediaWithTheirStateAndCutSizes) {
    sql("INSERT INTO RemList (DselNo, UserID, Remark) VALUES ('-1967333648', '', '経理'), ('2', "
        "'u2', NULL)");
    drives.media = {
        {"/media/a", -1967333648, 8004304896}, {"/media/b", 1, 536870912}, {"sdd1", 2, 1073741824},
        {"/media/d", 3, 1073741823},           {"/media/e", 4, 5000},      {"/media/f", 5, 1}};
    window.Form_Load();
    EXPECT_EQ(window.filledRows(), 5);
    EXPECT_EQ(row(0), "/media/a|7.45 GB|Any|経理|許可済み|未許可");
    EXPECT_EQ(row(1), "/media/b|512 MB|Any*||未許可|許可");
    EXPECT_EQ(row(2), "sdd1|1 GB|u2||許可済み|未許可");
    EXPECT_EQ(row(3), "/media/d|1023.9 MB|Any*||未許可|許可");
    EXPECT_EQ(row(4), "/media/e|0 MB|Any*||未許可|許可");
    EXPECT_EQ(at("DselNo", 0).text, "-1967333648");

    // Unplugged: the rows empty again; a failing listing leaves them empty.
    drives.media.resize(1);
    window.click("Command1");
    EXPECT_EQ(row(1), "||*|||hidden") << "emptied, the box keeps its enabled state";
    drives.failing = true;
    window.click("Command1");
    EXPECT_EQ(row(0), "|||||hidden");
    EXPECT_EQ(window.filledRows(), 0);
}

TEST_F(CheckWindow, RowButtonRegistersAndRemovesTheLocalMedium) {
    drives.media = {{"/media/a", 77, 1073741824}};
    window.Form_Load();
    window.control(arrayName("UserID", 0)).text = "";
    window.control(arrayName("Remark", 0)).text = "USB&HDD";
    window.click("CHG(0)");
    EXPECT_EQ(row(0), "/media/a|1 GB|Any|USB HDD|許可済み|未許可");
    EXPECT_EQ(registered(), "77|1 GB|Any|USB HDD|2009-10-01 09:05:03|2009-10-01 09:05:03");

    window.click("CHG(0)");
    EXPECT_EQ(row(0), "/media/a|1 GB|Any*|USB HDD|未許可|許可");
    EXPECT_EQ(rows("SELECT count(*) FROM RemList"), std::vector<std::string>{"0"});

    // Without the database the row stays as the table is.
    fs::remove(dir.path() / "Mng.mdb");
    EXPECT_NO_THROW(window.click("CHG(0)"));
    EXPECT_EQ(row(0), "/media/a|1 GB|Any*|USB HDD|未許可|許可");
    EXPECT_FALSE(failures.lines.empty());
}

TEST_F(CheckWindow, EachRequestLineSelectsItsOwnRequest) {
    const std::string longUsers(300, 'u');
    request("111", "1 GB", longUsers, "first");
    sql("INSERT INTO RemList_Add (DselNo, Size, UserID, Remark) VALUES ('111', NULL, 'b|c', "
        "'second')");
    request("222", "2 GB", "u2", "third");
    window.Form_Load();

    const auto& lines = box("ADDLIST").lines;
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "1 GB      |2009/10/01 9:00:00  |" + std::string(255, 'u') + "|111" +
                            std::string(27, ' '));
    EXPECT_EQ(lines[1].substr(0, 36), std::string(10, ' ') + "|" + std::string(20, ' ') + "|b¦c")
        << "an absent value is a blank cell";
    select(1);
    EXPECT_EQ(box("RemarkS").text, "second");
    EXPECT_EQ(box("UserIDS").text, "b|c");
    select(0);
    EXPECT_EQ(box("UserIDS").text, longUsers);
    select(2);
    EXPECT_EQ(box("DselNoS").text + box("SizeS").text + box("UserIDS").text + box("RemarkS").text,
              "2222 GBu2third");

    // The database gone: the selection fails quietly and leaves no other request behind.
    fs::remove(dir.path() / "Mng.mdb");
    EXPECT_NO_THROW(select(1));
    EXPECT_EQ(box("DselNoS").text + box("RemarkS").text, "");
}

TEST_F(CheckWindow, ApprovalOverwritesARegistrationAndTakesEveryRequestForTheSerial) {
    sql("INSERT INTO RemList (DselNo, Size, UserID, Remark, UPDT, USDT) VALUES "
        "('111', '1 GB', 'old', 'old', '2001-01-01 00:00:00', '2001-01-01 00:00:00')");
    request("111", "1 GB", "u1", "a");
    request("111", "1 GB", "u2", "b");
    request("222", "2 GB", "u3", "c");
    window.Form_Load();

    window.click("ADDS");  // nothing selected
    select(2);
    select(-1);  // the choice taken back
    window.click("ADDS");
    window.click("Command2");
    EXPECT_EQ(rows("SELECT count(*) FROM RemList_Add"), std::vector<std::string>{"3"});
    EXPECT_FALSE(fs::exists(rem() / "UnADD"));

    select(1);
    box("UserIDS").text = "";
    box("RemarkS").text = "x&y";
    window.click("ADDS");
    EXPECT_EQ(registered(), "111|1 GB|Any|x y|2009-10-01 09:05:03|2009-10-01 09:05:03");
    EXPECT_EQ(rows("SELECT DselNo FROM RemList_Add"), std::vector<std::string>{"222"});
    EXPECT_EQ(box("ADDLIST").lines.size(), 1u);
    EXPECT_EQ(box("DselNoS").text + box("SizeS").text + box("UserIDS").text + box("RemarkS").text,
              "");
}

TEST_F(CheckWindow, ARefusedApprovalIsShownAndKeepsTheBoxesForMending) {
    request("111", "1 GB", "u1", "a");
    window.Form_Load();
    select(0);
    box("UserIDS").text = std::string(256, 'u');
    window.click("ADDS");
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, "許可ユーザIDは255文字までです");
    EXPECT_EQ(box("UserIDS").text, std::string(256, 'u'));
    EXPECT_EQ(box("ADDLIST").lines.size(), 1u);
    EXPECT_EQ(rows("SELECT count(*) FROM RemList"), std::vector<std::string>{"0"});

    box("UserIDS").text = "u1,u2";
    window.click("ADDS");
    EXPECT_EQ(rows("SELECT UserID FROM RemList"), std::vector<std::string>{"u1,u2"});
    EXPECT_TRUE(box("ADDLIST").lines.empty());
}

TEST_F(CheckWindow, DenialsAppendToTheDeclineFile) {
    request("111", "1 GB", "u1", "a");
    request("222", "2 GB", "山田", "");
    window.Form_Load();
    select(0);
    window.click("Command2");
    clock.set({2009, 10, 2, 0, 0, 0});
    select(0);
    window.click("Command2");

    EXPECT_EQ(
        file("UnADD"),
        platform::encodeCp932("111&1 GB&u1&a&2009/10/01 9:05:03\r\n222&2 GB&山田&&2009/10/02\r\n"));
    EXPECT_EQ(platform::attributes(rem() / "UnADD"), platform::kHidden | platform::kSystem);
    EXPECT_EQ(rows("SELECT count(*) FROM RemList_Add"), std::vector<std::string>{"0"});
    EXPECT_TRUE(box("ADDLIST").lines.empty());
}

TEST_F(CheckWindow, RefreshAndClosingRewriteTheAllowListAndTheListWindowOpensFromHere) {
    drives.media = {{"/media/a", 77, 1073741824}};
    host.whileOpen = [&](ui::Form& form) {
        if (&form != &window) return;
        window.click("CHG(0)");
        EXPECT_FALSE(fs::exists(rem() / "RM")) << "written before refresh";
        window.click("Command1");
        EXPECT_EQ(file("RM"), "77&1 GB&Any&&2009/10/01 9:05:03\r\n");
        sql("UPDATE RemList SET Remark = 'later'");
        window.click("Command3");
    };
    host.showModal(window);
    EXPECT_EQ(file("RM"), "77&1 GB&Any&later&2009/10/01 9:05:03\r\n");
    EXPECT_EQ(host.shown, (std::vector<std::string>{"リムーバブルメディアチェック",
                                                    "リムーバブルメディア登録一覧"}));
}

}  // namespace
}  // namespace plenvo::removable
