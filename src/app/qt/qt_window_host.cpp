#include "app/qt/qt_window_host.h"

#include <QApplication>

#include "app/qt/form_view.h"

namespace plenvo::app {

void QtWindowHost::showModal(ui::Form& form) {
    // A window opened from another stays in front of it.
    FormView view(form, QApplication::activeModalWidget());
    view.run();
}

}  // namespace plenvo::app
