#pragma once

#include <optional>
#include <string>
#include <vector>

#include "web/pass_record.h"

namespace plenvo::web {

// How a settings action ended, for the page and the API.
struct SettingOutcome {
    enum Kind { done, unchanged, notFound, refused, failed } kind = done;
    std::string why;  // one short line when it was not done
};

// The settings the windows keep, as the web console changes them: the console
// gives the web view one of these with its context, so that a change from the
// browser follows the settings window's rules and reaches the running console.
class ConsoleSettings {
  public:
    virtual ~ConsoleSettings() = default;

    virtual std::vector<std::string> destinations() = 0;
    // done: listed; unchanged: listed already (as written, or differing only in
    // trailing separators, "." parts or letter case); refused: its SRV.ini
    // could not be written (the server did not answer, or refused), with why.
    virtual SettingOutcome addDestination(const std::string& path) = 0;
    // The ToBkupList row goes; the destination's SRV.ini stays.
    virtual SettingOutcome removeDestination(const std::string& path) = 0;
    virtual bool monitoring() = 0;
    // As closing the settings window with the switch so: the flag saved and
    // taken in, the allow-list file made or deleted.
    virtual SettingOutcome setMonitoring(bool on) = 0;
    // "エラー情報削除": every agent's codes cleared.
    virtual SettingOutcome clearErrors() = 0;
    // The last passes as the console keeps them; nullopt where it keeps none
    // (status.json then tells them).
    virtual std::optional<std::vector<PassRecord>> lastPasses() { return std::nullopt; }
};

}  // namespace plenvo::web
