#include "app/qt/qt_dialogs.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QMessageBox>
#include <QTimer>

#include "qt_app.h"

namespace plenvo::app {
namespace {

// Answers the next message box by the text of one of its buttons, noting what it showed.
struct BoxSeen {
    QString title;
    QString text;
    QStringList buttons;
    int width = 0;
    int titleWidth = 0;
};

void answerNextBox(BoxSeen& seen, const QString& press) {
    QTimer::singleShot(0, [&seen, press] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        seen.title = box->windowTitle();
        seen.text = box->text();
        seen.width = box->width();
        QFont bold = box->font();
        bold.setBold(true);
        seen.titleWidth = QFontMetrics(bold).horizontalAdvance(seen.title);
        for (QAbstractButton* b : box->buttons()) {
            seen.buttons << b->text();
            if (b->text() == press) b->click();
        }
    });
}

TEST(QtDialogsTest, MessageBoxesSpeakJapanese) {
    test::qtApp();
    QtDialogs dialogs;
    BoxSeen seen;
    answerNextBox(seen, "いいえ");
    EXPECT_EQ(dialogs.messageBox("登録しますか？", "", ui::MessageButtons::yesNo),
              ui::MessageAnswer::no);
    EXPECT_EQ(seen.title, "PlenvoBackupMng");
    EXPECT_EQ(seen.text, "登録しますか？");
    seen.buttons.sort();
    EXPECT_EQ(seen.buttons, (QStringList{"いいえ", "はい"}));

    BoxSeen ok;
    answerNextBox(ok, "OK");
    EXPECT_EQ(dialogs.messageBox("済", "環境設定", ui::MessageButtons::ok), ui::MessageAnswer::ok);
    EXPECT_EQ(ok.title, "環境設定");
    EXPECT_EQ(ok.buttons, QStringList{"OK"});
}

TEST(QtDialogsTest, AShortMessageStillShowsItsWholeTitle) {
    test::qtApp();
    QtDialogs dialogs;
    BoxSeen seen;
    answerNextBox(seen, "OK");
    dialogs.messageBox("済", "環境設定を行ってください（リムーバブルメディアの監視）",
                       ui::MessageButtons::ok);
    // Beside the title, the title bar holds an icon and its buttons.
    EXPECT_GE(seen.width, seen.titleWidth + 100);
}

}  // namespace
}  // namespace plenvo::app
