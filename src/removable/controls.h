#pragma once

#include <string>

#include "platform/form.h"

namespace plenvo::removable {

// A control of a window's design: name, kind, place in twips and its caption
// (labels, buttons, frames); `frame` names the frame that holds it.
platform::Control designed(std::string name, platform::ControlKind kind, platform::Geometry where,
                           std::string caption = {}, std::string frame = {});

}  // namespace plenvo::removable
