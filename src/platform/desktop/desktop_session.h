#pragma once

namespace plenvo::platform {

// Whether this process can reach a desktop to draw on. Asked before any
// widgets application is made, which cannot start without one.
bool desktopSessionAvailable();

}  // namespace plenvo::platform
