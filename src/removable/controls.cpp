#include "removable/controls.h"

namespace plenvo::removable {

platform::Control designed(std::string name, platform::ControlKind kind, platform::Geometry where,
                           std::string caption, std::string frame) {
    platform::Control c;
    c.name = std::move(name);
    c.kind = kind;
    c.geometry = where;
    c.caption = std::move(caption);
    c.frame = std::move(frame);
    return c;
}

}  // namespace plenvo::removable
