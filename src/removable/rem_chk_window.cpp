#include "removable/rem_chk_window.h"

#include "platform/core/failure_log.h"
#include "platform/files/dos_attributes.h"
#include "platform/text/text_file.h"
#include "removable/allow_list.h"
#include "removable/entry_boxes.h"
#include "removable/exchange_fields.h"
#include "removable/media_table.h"
#include "removable/rem_list_window.h"
#include "removable/size_text.h"
#include "store/date_time.h"
#include "store/mng_database.h"

namespace plenvo::removable {
namespace {

constexpr const char* kRegistered = "許可済み";
constexpr const char* kNotRegistered = "未許可";
constexpr const char* kRegister = "許可";
constexpr const char* kUnregister = "未許可";

// Columns: rowid, Size, UPDT, UserID, DselNo.
std::string requestLine(const store::Statement& row) {
    return fixedCell(row.text(1), kSizeCell) + "|" + fixedCell(shownDate(row.text(2)), kDateCell) +
           "|" + fixedCell(row.text(3), kUserCell) + "|" + fixedCell(row.text(4), kSerialCell);
}

}  // namespace

RemChkWindow::RemChkWindow(const platform::RunContext& ctx, store::MonitoringFlag& flag,
                           ui::Dialogs& dialogs, ui::WindowHost& host,
                           const platform::RemovableDrives& drives)
    : ctx_(ctx), flag_(flag), dialogs_(dialogs), host_(host), drives_(drives) {
    addControls();
}

void RemChkWindow::Form_Load() {
    if (flag_.isOn()) {
        listAttachedMedia();
        listRequests();
        return;
    }
    dialogs_.messageBox(
        "この機能を利用する場合は、先に「環境設定」で「リムーバブルメディアの監視を行う」にチェック"
        "を入れてください",
        "環境設定を行ってください", ui::MessageButtons::ok);
    requestUnload();
}

void RemChkWindow::Form_Unload() {
    saveAllowList();
}

void RemChkWindow::click(const std::string& controlName) {
    for (int i = 0; i < kRows; ++i)
        if (controlName == ui::arrayName("CHG", i)) CHG_Click(i);
    if (controlName == "ADDLIST") ADDLIST_Click();
    if (controlName == "ADDS") ADDS_Click();
    if (controlName == "Command1") Command1_Click();
    if (controlName == "Command2") Command2_Click();
    if (controlName == "Command3") Command3_Click();
}

void RemChkWindow::listAttachedMedia() {
    for (int i = 0; i < kRows; ++i) {
        for (const char* box : {"DrvInfo", "Size", "UserID", "Remark", "DselNo"})
            row(box, i).text.clear();
        row("STS", i).caption.clear();
        row("CHG", i).caption.clear();
        row("CHG", i).visible = false;
    }
    rows_ = 0;
    std::vector<platform::RemovableMedium> media;
    platform::guarded(ctx_.failures, "check window: attached media",
                      [&] { media = drives_.list(); });
    for (const auto& medium : media) {
        if (rows_ >= kRows) break;
        fillLocalRow(medium);
    }
}

bool RemChkWindow::fillLocalRow(const platform::RemovableMedium& medium) {
    bool filled = false;
    platform::guarded(ctx_.failures, "check window: attached media", [&] {
        const std::string serial = std::to_string(medium.serial);
        store::Connection db = store::openMng(ctx_.base);
        const auto registered = findRegistered(db, serial);
        const int i = rows_;
        if (registered) {
            row("STS", i).caption = kRegistered;
            row("CHG", i).caption = kUnregister;
            row("UserID", i).text = registered->userIds.empty() ? "Any" : registered->userIds;
            row("Remark", i).text = registered->remark;
        } else {
            row("STS", i).caption = kNotRegistered;
            row("CHG", i).caption = kRegister;
            row("UserID", i).text = "Any";
        }
        row("CHG", i).visible = true;
        setRowEditable(i, !registered);
        row("DrvInfo", i).text = medium.name;
        row("Size", i).text = sizeText(medium.totalBytes);
        row("DselNo", i).text = serial;
        ++rows_;
        filled = true;
    });
    return filled;
}

void RemChkWindow::CHG_Click(int index) {
    if (index < 0 || index >= kRows) return;
    const std::string serial = row("DselNo", index).text;
    if (serial.empty()) return;
    // The row changes only once the table has.
    platform::guarded(ctx_.failures, "check window: change", [&] {
        store::Connection db = store::openMng(ctx_.base);
        const auto turn = store::writeTurn(ctx_);
        if (findRegistered(db, serial)) {
            unregisterMedium(db, serial);
            row("CHG", index).caption = kRegister;
            row("STS", index).caption = kNotRegistered;
            setRowEditable(index, true);
            return;
        }
        auto& users = row("UserID", index);
        auto& remark = row("Remark", index);
        users.text = storedUserIds(users.text);
        remark.text = withoutAmpersands(remark.text);
        registerMedium(db, {serial, row("Size", index).text, users.text, remark.text},
                       ctx_.clock.now());
        row("CHG", index).caption = kUnregister;
        row("STS", index).caption = kRegistered;
        setRowEditable(index, false);
    });
}

void RemChkWindow::listRequests() {
    auto& list = control("ADDLIST");
    list.lines.clear();
    list.selected = -1;
    requestKeys_.clear();
    // A failure ends the filling; the lines so far stay.
    platform::guarded(ctx_.failures, "check window: requests", [&] {
        store::Connection db = store::openMng(ctx_.base);
        store::Statement rows =
            db.prepare("SELECT rowid, Size, UPDT, UserID, DselNo FROM RemList_Add ORDER BY rowid");
        while (rows.step()) {
            list.lines.push_back(requestLine(rows));
            requestKeys_.add(*rows.integer(0));
        }
    });
}

void RemChkWindow::ADDLIST_Click() {
    const auto rowid = requestKeys_.at(control("ADDLIST").selected);
    // The boxes hold the chosen request or none, so 許可 and 否認 act on nothing else.
    clearEntryBoxes(*this);
    if (!rowid) return;
    platform::guarded(ctx_.failures, "check window: request list",
                      [&] { fillEntryBoxes(*this, ctx_.base, "RemList_Add", *rowid); });
}

void RemChkWindow::ADDS_Click() {
    if (control("DselNoS").text.empty()) return;
    const Registration medium = storedEntry(*this);
    // The requests go only together with the approval they became.
    platform::guarded(ctx_.failures, "check window: approve", [&] {
        store::Connection db = store::openMng(ctx_.base);
        const auto turn = store::writeTurn(ctx_);
        store::Transaction tx(db);
        registerMedium(db, medium, ctx_.clock.now());
        removeRequests(db, medium.serial);
        tx.commit();
    });
    listRequests();
    clearEntryBoxes(*this);
}

void RemChkWindow::Command2_Click() {
    const std::string serial = control("DselNoS").text;
    if (serial.empty()) return;
    // The requests go only once the agent can learn of the denial.
    platform::guarded(ctx_.failures, "check window: deny", [&] {
        const auto file = ctx_.base.at("\\OrvShare\\REM\\UnADD");
        {
            platform::TextWriter out(file, platform::TextWriter::Mode::append);
            out.writeLine(serial + "&" + control("SizeS").text + "&" + control("UserIDS").text +
                          "&" + control("RemarkS").text + "&" +
                          store::generalText(ctx_.clock.now()));
            out.commit();
        }
        platform::setAttributes(file, platform::kHiddenSystemAttributes);
        store::Connection db = store::openMng(ctx_.base);
        const auto turn = store::writeTurn(ctx_);
        removeRequests(db, serial);
    });
    listRequests();
    clearEntryBoxes(*this);
}

void RemChkWindow::Command1_Click() {
    saveAllowList();
    listAttachedMedia();
}

void RemChkWindow::Command3_Click() {
    platform::guarded(ctx_.failures, "check window: registered media", [&] {
        RemListWindow list(ctx_);
        host_.showModal(list);
    });
}

void RemChkWindow::saveAllowList() {
    platform::guarded(ctx_.failures, "allow-list file",
                      [&] { removable::writeAllowList(ctx_, flag_); });
}

void RemChkWindow::setRowEditable(int index, bool editable) {
    row("UserID", index).enabled = editable;
    row("Remark", index).enabled = editable;
}

}  // namespace plenvo::removable
