#include "platform/desktop/desktop_session.h"
#include "platform/process/environment.h"

namespace plenvo::platform {

bool desktopSessionAvailable() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const auto value = environmentValue(name);
        if (value && !value->empty()) return true;
    }
    return false;
}

}  // namespace plenvo::platform
