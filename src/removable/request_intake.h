#pragma once

#include <functional>
#include <vector>

#include "platform/core/run_context.h"
#include "removable/media_table.h"
#include "ui/dialogs.h"

namespace plenvo::removable {

// Takes a request file into RemList_Add and asks whether to register now;
// `openCheckWindow` is called on Yes. Without `dialogs` (headless) nobody is asked.
void takeRequestsAndAsk(const platform::RunContext& ctx, ui::Dialogs* dialogs,
                        const std::function<void()>& openCheckWindow);
// Its two halves, for the console that takes requests in on its pass worker
// and asks on the window thread. takeMediaRequests is true when new request lines were
// taken in; failures are told.
bool takeMediaRequests(const platform::RunContext& ctx);
// The same, adding each request taken in to `taken`.
bool takeMediaRequests(const platform::RunContext& ctx, std::vector<Registration>& taken);
void askToRegister(ui::Dialogs& dialogs, const std::function<void()>& openCheckWindow);
// Applies the usage file to RemList.USDT.
void recordMediaUse(const platform::RunContext& ctx, const std::string& workingFolder);

}  // namespace plenvo::removable
