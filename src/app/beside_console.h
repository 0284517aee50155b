#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/core/run_context.h"

namespace plenvo::app {

class Console;

// What runs beside the console (the web view's actions): handed the console
// and its context once they exist; what it returns is let go before they go.
using BesideConsole = std::function<std::shared_ptr<void>(const platform::RunContext&, Console&)>;

// The address the web view is served at just now, when it is.
using ServedAddress = std::function<std::optional<std::string>()>;

}  // namespace plenvo::app
