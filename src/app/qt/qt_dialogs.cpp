#include "app/qt/qt_dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

#include "platform/file_system.h"
#include "platform/unc_path.h"

namespace plenvo::app {

platform::MessageAnswer QtDialogs::messageBox(const std::string& text, const std::string& caption,
                                              platform::MessageButtons buttons) {
    QMessageBox box(QApplication::activeModalWidget());
    box.setWindowTitle(
        QString::fromStdString(caption.empty() ? platform::kApplicationTitle : caption));
    box.setText(QString::fromStdString(text));
    if (buttons == platform::MessageButtons::ok) {
        box.setDefaultButton(box.addButton("OK", QMessageBox::AcceptRole));
        box.exec();
        return platform::MessageAnswer::ok;
    }
    QPushButton* yes = box.addButton("はい", QMessageBox::YesRole);
    QPushButton* no = box.addButton("いいえ", QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes ? platform::MessageAnswer::yes : platform::MessageAnswer::no;
}

std::optional<std::string> QtDialogs::browseForFolder(const std::string& title,
                                                      const std::string& root) {
    QString start;
    const auto local = root.empty() ? std::nullopt : platform::localPathOf(root);
    if (local && platform::folderExists(*local)) start = QString::fromStdString(local->string());
    const QString chosen = QFileDialog::getExistingDirectory(QApplication::activeModalWidget(),
                                                             QString::fromStdString(title), start,
                                                             QFileDialog::ShowDirsOnly);
    if (chosen.isEmpty()) return std::nullopt;
    // The root itself comes back under the name it was asked by, so callers can tell.
    if (!start.isEmpty() && QDir(chosen) == QDir(start)) return root;
    return chosen.toStdString();
}

}  // namespace plenvo::app
