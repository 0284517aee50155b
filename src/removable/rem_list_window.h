#pragma once

#include "platform/core/run_context.h"
#include "removable/list_line.h"
#include "ui/dialogs.h"
#include "ui/form.h"

namespace plenvo::removable {

// The registered media window: RemList by last use, with change and delete.
// Its event procedures never throw; failures go to the failure log.
class RemListWindow final : public ui::Form {
  public:
    // Without `dialogs` a refused entry is told to the failure log.
    explicit RemListWindow(const platform::RunContext& ctx, ui::Dialogs* dialogs = nullptr);

    std::string caption() const override { return "リムーバブルメディア登録一覧"; }
    ui::Geometry clientArea() const override { return {0, 0, 14430, 9195}; }

    void Form_Load() override;
    void click(const std::string& controlName) override;

    void listRegisteredMedia();
    void RMLIST_Click();
    void Command1_Click();  // 変更
    void Command2_Click();  // 削除

  private:
    const platform::RunContext& ctx_;
    ui::Dialogs* dialogs_;
    LineKeys keys_;  // RemList rowid of each line of RMLIST
};

}  // namespace plenvo::removable
