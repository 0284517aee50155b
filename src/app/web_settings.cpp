#include "app/web_settings.h"

#include <exception>

#include "pages/epoch_time.h"
#include "platform/core/failure_log.h"
#include "settings/setting_actions.h"
#include "store/mng_database.h"

namespace plenvo::app {
namespace {

web::SettingOutcome outcomeOf(const settings::SettingResult& result) {
    using Kind = settings::SettingResult::Kind;
    switch (result.kind) {
        case Kind::done:
            return {web::SettingOutcome::done, {}};
        case Kind::unchanged:
            return {web::SettingOutcome::unchanged, {}};
        case Kind::notFound:
            return {web::SettingOutcome::notFound, result.why};
        case Kind::refused:
            return {web::SettingOutcome::refused, result.why};
        case Kind::failed:
            break;
    }
    return {web::SettingOutcome::failed, result.why};
}

// The settings functions never throw; what could still escape (no memory) must
// not end the web view's thread either.
template <typename Action>
web::SettingOutcome answered(const platform::RunContext& ctx, Action&& action) {
    try {
        return outcomeOf(action());
    } catch (const std::exception& e) {
        ctx.failures.report("web settings", e.what());
    } catch (...) {
        ctx.failures.report("web settings", "unknown failure");
    }
    return {web::SettingOutcome::failed, "設定を変更できませんでした"};
}

}  // namespace

ConsoleWebSettings::ConsoleWebSettings(const platform::RunContext& ctx, store::MonitoringFlag& flag,
                                       std::string serverShareFolder, PassSource passes)
    : ctx_(ctx),
      flag_(flag),
      serverShareFolder_(std::move(serverShareFolder)),
      passes_(std::move(passes)) {}

std::optional<std::vector<web::PassRecord>> ConsoleWebSettings::lastPasses() {
    if (!passes_) return std::nullopt;
    std::vector<web::PassRecord> records;
    for (const pages::PassFigures& p : passes_()) {
        std::optional<std::string> success;
        if (p.lastSuccess) success = pages::isoText(*p.lastSuccess);
        records.push_back({p.kind, p.lastDurationSeconds, success});
    }
    return records;
}

std::vector<std::string> ConsoleWebSettings::destinations() {
    std::vector<std::string> listed;
    platform::guarded(ctx_.failures, "web settings", [&] {
        store::Connection db = store::openMng(ctx_.base);
        listed = store::listedDestinations(db);
    });
    return listed;
}

web::SettingOutcome ConsoleWebSettings::addDestination(const std::string& path) {
    return answered(ctx_, [&] { return settings::addDestination(ctx_, serverShareFolder_, path); });
}

web::SettingOutcome ConsoleWebSettings::removeDestination(const std::string& path) {
    return answered(ctx_, [&] { return settings::removeDestination(ctx_, path); });
}

bool ConsoleWebSettings::monitoring() {
    return flag_.isOn();
}

web::SettingOutcome ConsoleWebSettings::setMonitoring(bool on) {
    return answered(ctx_, [&] { return settings::setMonitoring(ctx_, flag_, on); });
}

web::SettingOutcome ConsoleWebSettings::clearErrors() {
    return answered(ctx_, [&] { return settings::clearErrors(ctx_); });
}

}  // namespace plenvo::app
