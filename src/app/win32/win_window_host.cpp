#include "app/win32/win_window_host.h"

#include "app/win32/win_form_view.h"

namespace plenvo::app {

void Win32WindowHost::showModal(ui::Form& form) {
    // A window opened from another stays in front of it.
    Win32FormView view(form, activeConsoleWindow());
    view.run();
}

}  // namespace plenvo::app
