#pragma once

#include "app/console.h"
#include "ui/dialogs.h"
#include "ui/form.h"

namespace plenvo::app {

// Shows the removable media check window modally; the tray menu and the
// request prompt both open it through one opener. While it is open, a second
// request to open it (the prompt of a request arriving meanwhile) does nothing.
class CheckWindowOpener {
  public:
    CheckWindowOpener(Console& management, ui::Dialogs& dialogs, ui::WindowHost& windows)
        : management_(management), dialogs_(dialogs), windows_(windows) {}

    void operator()();

  private:
    Console& management_;
    ui::Dialogs& dialogs_;
    ui::WindowHost& windows_;
    bool open_ = false;
};

}  // namespace plenvo::app
