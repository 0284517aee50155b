#include "app/check_window.h"

#include "platform/drives/removable_drives.h"
#include "removable/rem_chk_window.h"

namespace plenvo::app {

void CheckWindowOpener::operator()() {
    if (open_) return;
    open_ = true;
    struct Closed {
        bool& open;
        ~Closed() { open = false; }
    } closed{open_};
    const auto drives = platform::systemRemovableDrives();
    removable::RemChkWindow window(management_.context(), management_.monitoringFlag(), dialogs_,
                                   windows_, *drives);
    windows_.showModal(window);
}

}  // namespace plenvo::app
