#pragma once

#include <string>

#include "alerts/mail_settings.h"
#include "platform/core/run_context.h"
#include "ui/dialogs.h"
#include "ui/form.h"
#include "ui/slow_work.h"

namespace plenvo::settings {

// The window "メール通知設定": the values of Mail.ini, saved with 保存, and a
// test mail sent with the values as they stand in the boxes.
class MailSetting final : public ui::Form {
  public:
    // `slow` sends the test mail away from the window thread (null: at once).
    MailSetting(const platform::RunContext& ctx, ui::Dialogs& dialogs,
                ui::SlowWork* slow = nullptr);

    std::string caption() const override { return "メール通知設定"; }
    ui::Geometry clientArea() const override;

    void Form_Load() override;
    void click(const std::string& controlName) override;

    void TestSend_Click();
    void Save_Click();
    void Cancel_Click() { requestUnload(); }

  private:
    void layOut();
    void show(const alerts::MailSettings& settings);
    // The values in the boxes; empty with a message shown when one cannot be used.
    std::optional<alerts::MailSettings> entered();

    const platform::RunContext& ctx_;
    ui::Dialogs& dialogs_;
    ui::SlowWork atOnce_;
    ui::SlowWork& slow_;
    // Values of the file that the window does not show, kept when it is saved.
    int limit_ = alerts::MailSettings::kDefaultLimit;
    std::string webUrl_;     // set in the web console: the window has no box for it
    std::string summaryAt_;  // set in Mail.ini: the window has no box for it
};

}  // namespace plenvo::settings
