#pragma once

#include <functional>
#include <memory>

#include "platform/core/run_context.h"

namespace plenvo::app {

// What runs beside the console (the web view's actions): handed the console's
// context once it exists; what it returns is let go before the context goes.
using BesideConsole = std::function<std::shared_ptr<void>(const platform::RunContext&)>;

}  // namespace plenvo::app
