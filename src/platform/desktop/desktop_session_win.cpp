#include "platform/desktop/desktop_session.h"

namespace plenvo::platform {

// A Windows program always has its window station; even one started without
// a visible desktop can make windows and a notification icon.
bool desktopSessionAvailable() {
    return true;
}

}  // namespace plenvo::platform
