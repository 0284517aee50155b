#include "app/qt/front_tray.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "qt_app.h"

namespace plenvo::app {
namespace {

class FrontTrayTest : public test::QtTest {};

TEST_F(FrontTrayTest, EachEntryOpensItsServedPageAndTheLastEndsTheTray) {
    std::vector<std::string> opened;
    int quits = 0;
    FrontTray tray(
        "http://127.0.0.1:8080", [&](const std::string& a) { opened.push_back(a); },
        [&] { ++quits; });
    const auto actions = tray.menu().actions();
    ASSERT_EQ(actions.size(), 4);
    EXPECT_EQ(actions[0]->text().toStdString(), "バックアップ状況確認");
    EXPECT_FALSE(actions[0]->icon().isNull());
    for (QAction* action : actions) action->trigger();
    EXPECT_EQ(opened,
              (std::vector<std::string>{"http://127.0.0.1:8080/", "http://127.0.0.1:8080/settings",
                                        "http://127.0.0.1:8080/media"}));
    EXPECT_EQ(quits, 1);
}

}  // namespace
}  // namespace plenvo::app
