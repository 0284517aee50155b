#include "platform/form.h"

#include <stdexcept>

namespace plenvo::platform {

Control& Form::control(const std::string& name) {
    for (auto& c : controls_)
        if (c.name == name) return c;
    throw std::out_of_range("no control " + name);
}

const Control& Form::control(const std::string& name) const {
    for (const auto& c : controls_)
        if (c.name == name) return c;
    throw std::out_of_range("no control " + name);
}

Control& Form::add(Control control) {
    controls_.push_back(std::move(control));
    return controls_.back();
}

std::string arrayName(const std::string& name, int index) {
    return name + "(" + std::to_string(index) + ")";
}

}  // namespace plenvo::platform
