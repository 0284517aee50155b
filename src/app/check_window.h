#pragma once

#include "app/management.h"
#include "platform/dialogs.h"
#include "platform/form.h"

namespace plenvo::app {

// Shows the removable media check window modally; the tray menu and the
// request prompt both open it this way.
void showCheckWindow(ManageMent& management, platform::Dialogs& dialogs,
                     platform::WindowHost& windows);

}  // namespace plenvo::app
