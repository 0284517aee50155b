#pragma once

#include "ui/form.h"

namespace plenvo::app {

// Shows a window modally for the user, owned by the console's active window;
// the messages of every other window of the thread, the timers among them,
// are still handled meanwhile.
class Win32WindowHost final : public ui::WindowHost {
  public:
    void showModal(ui::Form& form) override;
};

}  // namespace plenvo::app
