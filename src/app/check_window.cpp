#include "app/check_window.h"

#include "platform/removable_drives.h"
#include "removable/rem_chk_window.h"

namespace plenvo::app {

void showCheckWindow(ManageMent& management, platform::Dialogs& dialogs,
                     platform::WindowHost& windows) {
    const auto drives = platform::systemRemovableDrives();
    removable::RemChkWindow window(management.context(), management.monitoringFlag(), dialogs,
                                   windows, *drives);
    windows.showModal(window);
}

}  // namespace plenvo::app
