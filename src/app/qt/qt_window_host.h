#pragma once

#include "ui/form.h"

namespace plenvo::app {

// Shows a window modally for the user; the Qt event loop keeps running inside,
// so the timers keep ticking.
class QtWindowHost final : public ui::WindowHost {
  public:
    void showModal(ui::Form& form) override;
};

}  // namespace plenvo::app
