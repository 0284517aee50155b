#pragma once

#include <string>

#include "alerts/mail_settings.h"
#include "platform/dialogs.h"
#include "platform/form.h"
#include "platform/run_context.h"
#include "platform/slow_work.h"

namespace plenvo::settings {

// The window "メール通知設定": the values of Mail.ini, saved with 保存, and a
// test mail sent with the values as they stand in the boxes.
class MailSetting final : public platform::Form {
  public:
    // `slow` sends the test mail away from the window thread (null: at once).
    MailSetting(const platform::RunContext& ctx, platform::Dialogs& dialogs,
                platform::SlowWork* slow = nullptr);

    std::string caption() const override { return "メール通知設定"; }
    platform::Geometry clientArea() const override;

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
    platform::Dialogs& dialogs_;
    platform::SlowWork atOnce_;
    platform::SlowWork& slow_;
    // Values of the file that the window does not show, kept when it is saved.
    int limit_ = alerts::MailSettings::kDefaultLimit;
};

}  // namespace plenvo::settings
