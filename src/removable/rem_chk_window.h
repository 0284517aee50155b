#pragma once

#include "platform/core/run_context.h"
#include "platform/drives/removable_drives.h"
#include "removable/list_line.h"
#include "store/monitoring_flag.h"
#include "ui/dialogs.h"
#include "ui/form.h"

namespace plenvo::removable {

// The removable media check window: local media registered row by row, and
// the agents' requests approved or denied. Its event procedures never throw;
// failures go to the failure log.
class RemChkWindow final : public ui::Form {
  public:
    static constexpr int kRows = 5;

    RemChkWindow(const platform::RunContext& ctx, store::MonitoringFlag& flag, ui::Dialogs& dialogs,
                 ui::WindowHost& host, const platform::RemovableDrives& drives);

    std::string caption() const override { return "リムーバブルメディアチェック"; }
    ui::Geometry clientArea() const override { return {0, 0, 12600, 8520}; }

    void Form_Load() override;
    void Form_Unload() override;
    void click(const std::string& controlName) override;

    void listAttachedMedia();
    // Fills the next local row from the medium; false when it could not.
    bool fillLocalRow(const platform::RemovableMedium& medium);
    void listRequests();  // the request list
    void CHG_Click(int index);
    void ADDLIST_Click();
    void ADDS_Click();      // 許可
    void Command2_Click();  // 否認
    void Command1_Click();  // 再表示
    void Command3_Click();  // 登録一覧表示
    void saveAllowList();

    int filledRows() const { return rows_; }

  private:
    void addControls();
    ui::Control& row(const char* name, int index) { return control(ui::arrayName(name, index)); }
    void setRowEditable(int index, bool editable);

    const platform::RunContext& ctx_;
    store::MonitoringFlag& flag_;
    ui::Dialogs& dialogs_;
    ui::WindowHost& host_;
    const platform::RemovableDrives& drives_;
    int rows_ = 0;
    LineKeys requestKeys_;  // RemList_Add rowid of each line of ADDLIST
};

}  // namespace plenvo::removable
