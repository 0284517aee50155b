#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/form.h"

namespace plenvo::test {

// Shows windows without a screen: Form_Load, then what the test's user does,
// then Form_Unload, as a modal window would run them.
class FakeWindowHost final : public platform::WindowHost {
  public:
    std::function<void(platform::Form&)> whileOpen;
    std::vector<std::string> shown;  // captions, in order

    void showModal(platform::Form& form) override {
        shown.push_back(form.caption());
        form.Form_Load();
        if (whileOpen && !form.unloadRequested()) whileOpen(form);
        form.Form_Unload();
    }
};

}  // namespace plenvo::test
