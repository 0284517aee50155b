#pragma once

#include <set>
#include <string>
#include <vector>

#include "platform/core/run_context.h"
#include "platform/credentials/network_sign_in.h"
#include "platform/network/share_list.h"
#include "store/monitoring_flag.h"
#include "ui/dialogs.h"
#include "ui/form.h"
#include "ui/slow_work.h"

namespace plenvo::settings {

// The settings window "環境設定": the monitored backup destinations with their
// pointer files, the removable-media monitoring switch, and clearing every
// agent's error codes. Opening it writes every destination's pointer file
// again; with a view that runs away from the window thread, and a destination
// whose file could not be written is marked in the list when all have ended.
class Setting final : public ui::Form {
  public:
    // `flag` is the console's monitoring flag, reloaded when the window closes;
    // `serverShareFolder` is what each destination's SRV.ini names; `slow`
    // writes those files away from the window thread (null: at once);
    // `windows` shows the mail settings window (null: its button does nothing);
    // `shares` is how servers are asked for their shares (empty: the servers
    // themselves, signed in as SmbAuth.conf says).
    Setting(const platform::RunContext& ctx, store::MonitoringFlag& flag, ui::Dialogs& dialogs,
            std::string serverShareFolder, ui::SlowWork* slow = nullptr,
            ui::WindowHost* windows = nullptr, platform::ShareLookup::Source shares = {});

    std::string caption() const override { return "環境設定"; }
    ui::Geometry clientArea() const override;

    void Form_Load() override;
    void Form_Unload() override;
    void click(const std::string& controlName) override;

    void Command2_Click();
    void 追加_Click();
    void ErClear_Click();
    void MailSetting_Click();

    // The mark a destination's line gets when its SRV.ini could not be written.
    static constexpr const char* kUnwrittenMark = "  ← SRV.ini を書き込めません";

  private:
    void layOut();
    void rewritePointerFiles();
    void markUnwritten(const std::vector<std::string>& unwritten);
    // ToBkupList's lines from the destinations, with their marks.
    void showDestinations();
    // How other servers are signed in to, as the administrator set it up now.
    platform::NetworkSignIn signIn() const;

    const platform::RunContext& ctx_;
    store::MonitoringFlag& flag_;
    ui::Dialogs& dialogs_;
    const std::string serverShareFolder_;
    ui::SlowWork atOnce_;
    ui::SlowWork& slow_;
    ui::WindowHost* windows_;
    const platform::ShareLookup::Source shares_;
    // The destinations as stored; the list's lines may carry a mark besides.
    std::vector<std::string> destinations_;
    std::set<std::string> unwritten_;
};

}  // namespace plenvo::settings
