#pragma once

#include "platform/form.h"

namespace plenvo::app {

// Shows a window modally for the user; the Qt event loop keeps running inside,
// so the timers keep ticking.
class QtWindowHost final : public platform::WindowHost {
  public:
    void showModal(platform::Form& form) override;
};

}  // namespace plenvo::app
