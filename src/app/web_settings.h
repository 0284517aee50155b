#pragma once

#include <functional>
#include <string>
#include <vector>

#include "pages/status_snapshot.h"
#include "platform/core/run_context.h"
#include "store/monitoring_flag.h"
#include "web/console_settings.h"

namespace plenvo::app {

// The settings as the web view changes them: the settings window's own rules
// on the running console's context and monitoring flag. `serverShareFolder`
// is what each destination's SRV.ini names, as the settings window is given it.
// No method throws; a failure comes back as `failed` and is told to the
// context's failure log.
class ConsoleWebSettings final : public web::ConsoleSettings {
  public:
    using PassSource = std::function<std::vector<pages::PassFigures>()>;
    ConsoleWebSettings(const platform::RunContext& ctx, store::MonitoringFlag& flag,
                       std::string serverShareFolder, PassSource passes = {});

    std::vector<std::string> destinations() override;
    web::SettingOutcome addDestination(const std::string& path) override;
    web::SettingOutcome removeDestination(const std::string& path) override;
    bool monitoring() override;
    web::SettingOutcome setMonitoring(bool on) override;
    web::SettingOutcome clearErrors() override;
    std::optional<std::vector<web::PassRecord>> lastPasses() override;

  private:
    const platform::RunContext& ctx_;
    store::MonitoringFlag& flag_;
    const std::string serverShareFolder_;
    const PassSource passes_;
};

}  // namespace plenvo::app
