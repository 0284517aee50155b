#pragma once

#include <functional>
#include <string>
#include <vector>

#include "ui/form.h"

namespace plenvo::test {

// Shows windows without a screen: Form_Load, then what the test's user does,
// then Form_Unload, as a modal window would run them.
class FakeWindowHost final : public ui::WindowHost {
  public:
    std::function<void(ui::Form&)> whileOpen;
    std::vector<std::string> shown;  // captions, in order

    void showModal(ui::Form& form) override {
        shown.push_back(form.caption());
        form.Form_Load();
        if (whileOpen && !form.unloadRequested()) whileOpen(form);
        form.Form_Unload();
    }
};

}  // namespace plenvo::test
