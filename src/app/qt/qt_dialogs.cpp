#include "app/qt/qt_dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QGridLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QSpacerItem>

#include "platform/files/file_system.h"
#include "platform/network/unc_path.h"
#include "platform/text/utf8_path.h"

namespace plenvo::app {
namespace {

// A message box sizes itself by its text and would cut a longer title. The
// title in the bold most title bars use, with room for the bar's icon and
// buttons, sets its least width.
void fitTitle(QMessageBox& box) {
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (!grid) return;
    QFont bold = box.font();
    bold.setBold(true);
    constexpr int kTitleBarExtras = 120;
    const int width = QFontMetrics(bold).horizontalAdvance(box.windowTitle()) + kTitleBarExtras;
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Minimum),
                  grid->rowCount(), 0, 1, grid->columnCount());
}

}  // namespace

ui::MessageAnswer QtDialogs::messageBox(const std::string& text, const std::string& caption,
                                        ui::MessageButtons buttons) {
    QMessageBox box(QApplication::activeModalWidget());
    box.setWindowTitle(QString::fromStdString(caption.empty() ? ui::kApplicationTitle : caption));
    box.setText(QString::fromStdString(text));
    if (buttons == ui::MessageButtons::ok) {
        box.setDefaultButton(box.addButton("OK", QMessageBox::AcceptRole));
        fitTitle(box);
        box.exec();
        return ui::MessageAnswer::ok;
    }
    QPushButton* yes = box.addButton("はい", QMessageBox::YesRole);
    QPushButton* no = box.addButton("いいえ", QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    fitTitle(box);
    box.exec();
    return box.clickedButton() == yes ? ui::MessageAnswer::yes : ui::MessageAnswer::no;
}

std::optional<std::string> QtDialogs::browseForFolder(const std::string& title,
                                                      const std::string& root) {
    QString start;
    const auto local = root.empty() ? std::nullopt : platform::localPathOf(root);
    if (local && platform::folderExists(*local))
        start = QString::fromStdString(platform::utf8Of(*local));
    const QString chosen = QFileDialog::getExistingDirectory(QApplication::activeModalWidget(),
                                                             QString::fromStdString(title), start,
                                                             QFileDialog::ShowDirsOnly);
    if (chosen.isEmpty()) return std::nullopt;
    // The root itself comes back under the name it was asked by, so callers can tell.
    if (!start.isEmpty() && QDir(chosen) == QDir(start)) return root;
    return chosen.toStdString();
}

}  // namespace plenvo::app
