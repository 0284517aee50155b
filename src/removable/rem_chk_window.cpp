#include "removable/rem_chk_window.h"

#include "platform/core/failure_log.h"
#include "removable/allow_list.h"
#include "removable/entry_boxes.h"
#include "removable/media_actions.h"
#include "removable/media_table.h"
#include "removable/rem_list_window.h"
#include "removable/size_text.h"
#include "store/mng_database.h"

namespace plenvo::removable {
namespace {

constexpr const char* kRegistered = "許可済み";
constexpr const char* kNotRegistered = "未許可";
constexpr const char* kRegister = "許可";
constexpr const char* kUnregister = "未許可";

std::string requestLine(const PendingRequest& request) {
    return fixedCell(request.size, kSizeCell) + "|" +
           fixedCell(shownDate(request.received), kDateCell) + "|" +
           fixedCell(request.userIds, kUserCell) + "|" + fixedCell(request.serial, kSerialCell);
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
    std::optional<bool> registered;
    platform::guarded(ctx_.failures, "check window: change", [&] {
        store::Connection db = store::openMng(ctx_.base);
        registered = findRegistered(db, serial).has_value();
    });
    if (!registered) return;
    // The row changes only once the table has.
    if (*registered) {
        const ActionResult result = deleteRegistration(ctx_, serial);
        if (result.outcome != ActionOutcome::done && result.outcome != ActionOutcome::notFound)
            return;
        row("CHG", index).caption = kRegister;
        row("STS", index).caption = kNotRegistered;
        setRowEditable(index, true);
        return;
    }
    const Registration entry = storedForm(
        {serial, row("Size", index).text, row("UserID", index).text, row("Remark", index).text});
    const ActionResult result = saveRegistration(ctx_, entry);
    if (showRefusal(result, &dialogs_, ctx_.failures) || result.outcome != ActionOutcome::done)
        return;
    row("UserID", index).text = entry.userIds;
    row("Remark", index).text = entry.remark;
    row("CHG", index).caption = kUnregister;
    row("STS", index).caption = kRegistered;
    setRowEditable(index, false);
}

void RemChkWindow::listRequests() {
    auto& list = control("ADDLIST");
    list.lines.clear();
    list.selected = -1;
    requestKeys_.clear();
    platform::guarded(ctx_.failures, "check window: requests", [&] {
        store::Connection db = store::openMng(ctx_.base);
        for (const PendingRequest& request : pendingRequests(db)) {
            list.lines.push_back(requestLine(request));
            requestKeys_.add(request.id);
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
    const Registration entry = enteredEntry(*this);
    if (entry.serial.empty()) return;
    if (showRefusal(approveRequest(ctx_, entry.serial, entry.userIds, entry.remark), &dialogs_,
                    ctx_.failures))
        return;
    listRequests();
    clearEntryBoxes(*this);
}

void RemChkWindow::Command2_Click() {
    const std::string serial = control("DselNoS").text;
    if (serial.empty()) return;
    denyRequest(ctx_, serial);
    listRequests();
    clearEntryBoxes(*this);
}

void RemChkWindow::Command1_Click() {
    saveAllowList();
    listAttachedMedia();
}

void RemChkWindow::Command3_Click() {
    platform::guarded(ctx_.failures, "check window: registered media", [&] {
        RemListWindow list(ctx_, &dialogs_);
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
