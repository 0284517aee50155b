#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/form.h"

namespace plenvo::app {

// Draws any window of the console in plain Win32 from its controls and
// forwards the user's typing, checks, selections and clicks to it. After every
// event the controls are set again from the data, so the form's procedures
// only change data. Positions are the window's own, also for a control inside
// a frame. Escape and the close box close the window; Enter presses the button
// that has the focus and no other; Tab walks the controls in the form's order.
// Work the form hands back from other threads runs between messages, followed
// by a redraw. A window larger than its monitor's work area is drawn at fewer
// dots per inch, fonts and places together, so that it fits.
class Win32FormView {
  public:
    explicit Win32FormView(ui::Form& form, HWND owner = nullptr);
    ~Win32FormView();
    Win32FormView(const Win32FormView&) = delete;
    Win32FormView& operator=(const Win32FormView&) = delete;

    // Form_Load, then the window until it closes, Form_Unload when it does.
    // Modal: the owner is disabled meanwhile; messages of every other window of
    // the thread (timers, posted work) are still handled. 1 when the form asked
    // to close, 0 when the user closed it or the program is ending.
    int run();
    void refresh();
    HWND handle() const { return window_; }
    // The window drawn for a control, or nullptr.
    HWND controlHandle(const std::string& controlName) const;
    // Dots per inch the twips were converted with: the monitor's, or fewer
    // where the window would not fit its work area.
    int dpi() const { return dpi_; }

    // The window of the innermost view running modally on this thread, or nullptr:
    // what further windows and message boxes belong to.
    static HWND innermostRunning();

  private:
    struct Drawn {
        std::string name;
        ui::ControlKind kind;
        HWND window = nullptr;
        bool redText = false;
        std::vector<std::string> lines;  // what a list box shows
        std::string frame;               // the frame it sits in, if any
    };

    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void build();
    HWND makeControl(const ui::Control& control, HWND parent, POINT origin, int id);
    void apply(const ui::Control& control, Drawn& drawn);
    void onCommand(WPARAM wParam, LPARAM lParam);
    // Keys the view handles itself before the dialog manager; true when used.
    bool preTranslate(const MSG& message);
    // Puts the user's change into the control, runs the event, redraws.
    void handle(const std::string& controlName, const std::function<void(ui::Control&)>& take,
                bool isClick);
    void close(int result);
    void unloadOnce();
    // Runs what other threads handed back, then draws the form again.
    void takePosted();
    // The dots per inch the form fits the monitor's work area at.
    int fittingDpi(HMONITOR monitor, int screenDpi) const;
    Drawn* drawnOf(HWND control);
    RECT pixelsOf(const ui::Geometry& g) const;
    // The window moved to a monitor of other dots per inch: every control and
    // font is sized again from the twips, the window set where Windows suggests.
    void rescale(int dpi, const RECT& suggested);
    void makeFonts();

    ui::Form& form_;
    HWND owner_;
    HWND window_ = nullptr;
    HWND lastFocus_ = nullptr;
    Win32FormView* outer_ = nullptr;  // the view this one runs inside
    bool running_ = false;
    HFONT textFont_ = nullptr;
    HFONT fixedFont_ = nullptr;
    int dpi_ = 96;
    std::vector<Drawn> drawn_;
    bool refreshing_ = false;
    bool unloaded_ = false;
    bool closed_ = false;
    int result_ = 0;
    std::shared_ptr<ui::WindowInbox> inbox_;
};

// What a window or message box opened now belongs to: the innermost view
// running modally, else the thread's active window when it shows, else none.
HWND activeConsoleWindow();

}  // namespace plenvo::app
