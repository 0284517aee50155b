#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/window_inbox.h"

namespace plenvo::ui {

// A window of the console as plain data: its controls with their captions,
// texts and states, and its event procedures. A view draws a Form from this
// data and forwards the user's events; tests drive a Form without any view.

enum class ControlKind { label, textBox, button, listBox, checkBox, frame };

// Position and size in twips (15 twips are one pixel at 96 dpi).
struct Geometry {
    int left = 0, top = 0, width = 0, height = 0;
};

struct Control {
    std::string name;  // "Command2", "ToBkupF", "CHG(3)" for element 3 of an array
    ControlKind kind = ControlKind::label;
    Geometry geometry;
    std::string frame;               // name of the frame that holds it; empty for the window itself
    std::string caption;             // labels, buttons, frames, check boxes
    std::string text;                // text boxes
    std::vector<std::string> lines;  // list boxes
    int selected = -1;               // list boxes: selected line, -1 for none
    bool checked = false;            // check boxes
    bool enabled = true;
    bool visible = true;
    // Looks the window's design asks for.
    bool fixedPitch = false;
    bool redText = false;
    bool border = false;
    bool centred = false;
    bool masked = false;    // text boxes: a password, shown as dots
    bool readOnly = false;  // text boxes: shown only, never typed in nor reached by Tab
};

class Form {
  public:
    virtual ~Form() = default;

    virtual std::string caption() const = 0;
    virtual Geometry clientArea() const = 0;  // width and height used

    std::vector<Control>& controls() { return controls_; }
    const std::vector<Control>& controls() const { return controls_; }
    // The named control; throws std::out_of_range for an unknown name.
    Control& control(const std::string& name);
    const Control& control(const std::string& name) const;

    // Events. The view has already put the user's typing into the text boxes,
    // the check state into check boxes and the selection into list boxes.
    virtual void Form_Load() {}
    virtual void Form_Unload() {}
    // A button or a check box was clicked, or a list box line selected.
    virtual void click(const std::string& controlName) = 0;

    // The window asks to be closed (its own close, not the user's).
    bool unloadRequested() const { return unloadRequested_; }

    // The way back to the window thread for work the form runs elsewhere, set
    // by the view while it shows the form; null without one (tests, a single
    // run), where such work is done at once instead.
    const std::shared_ptr<WindowInbox>& inbox() const { return inbox_; }
    void setInbox(std::shared_ptr<WindowInbox> inbox) { inbox_ = std::move(inbox); }

  protected:
    Control& add(Control control);
    void requestUnload() { unloadRequested_ = true; }

  private:
    std::vector<Control> controls_;
    bool unloadRequested_ = false;
    std::shared_ptr<WindowInbox> inbox_;
};

// How a view runs a form's procedures, the same in every view: a failure
// stays inside, for the procedures tell their own and nothing may end the
// console. deliverEvent puts the user's change into the named control (when
// `take` is given) and runs the click event when `isClick`.
void loadForm(Form& form) noexcept;
void deliverEvent(Form& form, const std::string& controlName,
                  const std::function<void(Control&)>& take, bool isClick) noexcept;
void unloadForm(Form& form) noexcept;

// Shows other windows modally; the timers keep ticking meanwhile. A host runs
// Form_Load, lets the user work, and runs Form_Unload when the window closes.
class WindowHost {
  public:
    virtual ~WindowHost() = default;
    virtual void showModal(Form& form) = 0;
};

// A control of a window's design: name, kind, place in twips and its caption
// (labels, buttons, frames); `frame` names the frame that holds it.
Control designed(std::string name, ControlKind kind, Geometry where, std::string caption = {},
                 std::string frame = {});

// The name of element `index` of a control array: "CHG(3)".
std::string arrayName(const std::string& name, int index);

}  // namespace plenvo::ui
