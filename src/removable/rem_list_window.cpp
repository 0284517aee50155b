#include "removable/rem_list_window.h"

#include "platform/core/failure_log.h"
#include "removable/entry_boxes.h"
#include "removable/media_actions.h"
#include "store/mng_database.h"
#include "ui/form.h"

namespace plenvo::removable {
namespace {

using ui::ControlKind;

std::string headerLine() {
    return fixedCell("Size", kSizeCell) + "|" + fixedCell("Update", kDateCell) + "|" +
           fixedCell("UseDate", kDateCell) + "|" + fixedCell("Access User ID", kUserCell) + "|" +
           fixedCell("Serial No", kSerialCell) + "|";
}

std::string dataLine(const RegisteredMedium& medium) {
    return fixedCell(medium.size, kSizeCell) + "|" +
           fixedCell(shownDate(medium.updated), kDateCell) + "|" +
           fixedCell(shownDate(medium.lastUse), kDateCell) + "|" +
           fixedCell(medium.userIds, kUserCell) + "|" + fixedCell(medium.serial, kSerialCell);
}

}  // namespace

RemListWindow::RemListWindow(const platform::RunContext& ctx, ui::Dialogs* dialogs)
    : ctx_(ctx), dialogs_(dialogs) {
    add(ui::designed("Frame1", ControlKind::frame, {0, 0, 14295, 9015}, "登録一覧"));
    add(ui::designed("Label8", ControlKind::label, {240, 360, 4095, 255},
                     "不要な登録リストを選択してください", "Frame1"));
    add(ui::designed("RMLIST", ControlKind::listBox, {240, 600, 13815, 6810}, {}, "Frame1"))
        .fixedPitch = true;
    add(ui::designed("Label11", ControlKind::label, {2280, 7920, 975, 255}, "サイズ", "Frame1"));
    add(ui::designed("SizeS", ControlKind::textBox, {2160, 8280, 1575, 375}, {}, "Frame1"));
    add(ui::designed("Label10", ControlKind::label, {4080, 7920, 2535, 255}, "許可ユーザID",
                     "Frame1"));
    add(ui::designed("UserIDS", ControlKind::textBox, {3840, 8280, 3015, 375}, {}, "Frame1"));
    add(ui::designed("Label9", ControlKind::label, {6960, 7920, 4575, 255}, "備考", "Frame1"));
    add(ui::designed("RemarkS", ControlKind::textBox, {6960, 8280, 4095, 375}, {}, "Frame1"));
    // Only mirrors the selected line's serial, which "変更" registers: typed
    // into, it would register a medium nobody has.
    add(ui::designed("DselNoS", ControlKind::textBox, {11160, 7800, 255, 375}, {}, "Frame1"))
        .readOnly = true;
    add(ui::designed("Command1", ControlKind::button, {11160, 8280, 855, 375}, "変更", "Frame1"));
    add(ui::designed("Command2", ControlKind::button, {12120, 8280, 855, 375}, "削除", "Frame1"));
}

void RemListWindow::Form_Load() {
    listRegisteredMedia();
}

void RemListWindow::click(const std::string& controlName) {
    if (controlName == "RMLIST") RMLIST_Click();
    if (controlName == "Command1") Command1_Click();
    if (controlName == "Command2") Command2_Click();
}

void RemListWindow::listRegisteredMedia() {
    auto& list = control("RMLIST");
    list.lines.clear();
    list.selected = -1;
    keys_.clear();
    platform::guarded(ctx_.failures, "registered media window", [&] {
        store::Connection db = store::openMng(ctx_.base);
        for (const RegisteredMedium& medium : registeredMedia(db)) {
            if (list.lines.empty()) {
                list.lines.push_back(headerLine());
                keys_.addHeader();
            }
            list.lines.push_back(dataLine(medium));
            keys_.add(medium.id);
        }
    });
}

void RemListWindow::RMLIST_Click() {
    const int line = control("RMLIST").selected;
    if (keys_.isHeader(line)) {
        clearEntryBoxes(*this);
        return;
    }
    const auto rowid = keys_.at(line);
    if (!rowid) return;
    platform::guarded(ctx_.failures, "registered media window: selection",
                      [&] { fillEntryBoxes(*this, ctx_.base, "RemList", *rowid); });
}

void RemListWindow::Command1_Click() {
    const Registration entry = enteredEntry(*this);
    if (entry.serial.empty()) return;
    if (showRefusal(saveRegistration(ctx_, entry), dialogs_, ctx_.failures)) return;
    listRegisteredMedia();
    clearEntryBoxes(*this);
}

void RemListWindow::Command2_Click() {
    const std::string serial = control("DselNoS").text;
    if (serial.empty()) return;
    deleteRegistration(ctx_, serial);
    listRegisteredMedia();
    clearEntryBoxes(*this);
}

}  // namespace plenvo::removable
