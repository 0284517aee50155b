#include "ui/form.h"

#include <stdexcept>

namespace plenvo::ui {

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

void loadForm(Form& form) noexcept {
    try {
        form.Form_Load();
    } catch (...) {
    }
}

void deliverEvent(Form& form, const std::string& controlName,
                  const std::function<void(Control&)>& take, bool isClick) noexcept {
    try {
        if (take) take(form.control(controlName));
        if (isClick) form.click(controlName);
    } catch (...) {
    }
}

void unloadForm(Form& form) noexcept {
    try {
        form.Form_Unload();
    } catch (...) {
    }
}

Control designed(std::string name, ControlKind kind, Geometry where, std::string caption,
                 std::string frame) {
    Control c;
    c.name = std::move(name);
    c.kind = kind;
    c.geometry = where;
    c.caption = std::move(caption);
    c.frame = std::move(frame);
    return c;
}

std::string arrayName(const std::string& name, int index) {
    return name + "(" + std::to_string(index) + ")";
}

}  // namespace plenvo::ui
