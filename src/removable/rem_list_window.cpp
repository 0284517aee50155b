#include "removable/rem_list_window.h"

#include "platform/core/failure_log.h"
#include "removable/entry_boxes.h"
#include "removable/media_table.h"
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

// Columns: rowid, Size, UPDT, USDT, UserID, DselNo.
std::string dataLine(const store::Statement& row) {
    return fixedCell(row.text(1), kSizeCell) + "|" + fixedCell(shownDate(row.text(2)), kDateCell) +
           "|" + fixedCell(shownDate(row.text(3)), kDateCell) + "|" +
           fixedCell(row.text(4), kUserCell) + "|" + fixedCell(row.text(5), kSerialCell);
}

}  // namespace

RemListWindow::RemListWindow(const platform::RunContext& ctx) : ctx_(ctx) {
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
    add(ui::designed("DselNoS", ControlKind::textBox, {11160, 7800, 255, 375}, {}, "Frame1"));
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
    // A failure ends the filling; the lines so far stay.
    platform::guarded(ctx_.failures, "registered media window", [&] {
        store::Connection db = store::openMng(ctx_.base);
        store::Statement rows = db.prepare(
            "SELECT rowid, Size, UPDT, USDT, UserID, DselNo FROM RemList ORDER BY USDT, rowid");
        while (rows.step()) {
            if (list.lines.empty()) {
                list.lines.push_back(headerLine());
                keys_.addHeader();
            }
            list.lines.push_back(dataLine(rows));
            keys_.add(*rows.integer(0));
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
    if (control("DselNoS").text.empty()) return;
    const Registration medium = storedEntry(*this);
    platform::guarded(ctx_.failures, "registered media window: change", [&] {
        store::Connection db = store::openMng(ctx_.base);
        const auto turn = store::writeTurn(ctx_);
        registerMedium(db, medium, ctx_.clock.now());
    });
    listRegisteredMedia();
    clearEntryBoxes(*this);
}

void RemListWindow::Command2_Click() {
    const std::string serial = control("DselNoS").text;
    if (serial.empty()) return;
    platform::guarded(ctx_.failures, "registered media window: delete", [&] {
        store::Connection db = store::openMng(ctx_.base);
        const auto turn = store::writeTurn(ctx_);
        unregisterMedium(db, serial);
    });
    listRegisteredMedia();
    clearEntryBoxes(*this);
}

}  // namespace plenvo::removable
