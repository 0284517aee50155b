#include "app/win32/win_form_view.h"

#include <commctrl.h>

#include <algorithm>

#include "app/win32/win_view_text.h"
#include "platform/win/win32_win.h"
#include "ui/view_rules.h"

namespace plenvo::app {
namespace {

using ui::Control;
using ui::ControlKind;

constexpr const wchar_t* kWindowClass = L"PlenvoFormView";
constexpr int kFontPoints = 9;
constexpr int kFirstControlId = 1000;  // clear of IDOK and IDCANCEL
constexpr DWORD kWindowStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kWindowExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
// Work that other threads handed back to the window.
constexpr UINT kPostedWork = WM_APP + 1;

// The innermost view running modally on this thread; each running view keeps
// the one it runs inside. A plain pointer: mingw frees a thread's storage
// before the destructors of its thread_local objects run.
thread_local Win32FormView* innermostView = nullptr;

// What the controls inside a frame tell their parent, the group box, belongs to
// the window; the box's inside, which it leaves unpainted, gets the window's face.
LRESULT CALLBACK frameProc(HWND frame, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                           DWORD_PTR window) {
    switch (message) {
        case WM_COMMAND:
        case WM_NOTIFY:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN:
            return ::SendMessageW(reinterpret_cast<HWND>(window), message, wParam, lParam);
        case WM_ERASEBKGND: {
            RECT inside;
            ::GetClientRect(frame, &inside);
            ::FillRect(reinterpret_cast<HDC>(wParam), &inside, ::GetSysColorBrush(COLOR_BTNFACE));
            return 1;
        }
        case WM_NCDESTROY:
            ::RemoveWindowSubclass(frame, frameProc, id);
            break;
        default:
            break;
    }
    return ::DefSubclassProc(frame, message, wParam, lParam);
}

// The owner's monitor, else the primary one.
HMONITOR monitorNear(HWND owner) {
    return owner ? ::MonitorFromWindow(owner, MONITOR_DEFAULTTOPRIMARY)
                 : ::MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
}

// The monitor's screen less the taskbar.
RECT workAreaOf(HMONITOR monitor) {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (monitor && ::GetMonitorInfoW(monitor, &info)) return info.rcWork;
    RECT work{};
    if (::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0)) return work;
    return {0, 0, 1 << 20, 1 << 20};
}

// The monitor's dots per inch where the process is told them, else the system's.
int dpiNear(HWND owner) {
    const HMONITOR monitor = monitorNear(owner);
    using GetDpiForMonitorFn = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
    if (HMODULE shcore = ::LoadLibraryW(L"shcore.dll")) {
        const auto find = reinterpret_cast<GetDpiForMonitorFn>(
            reinterpret_cast<void*>(::GetProcAddress(shcore, "GetDpiForMonitor")));
        UINT x = 0, y = 0;
        const bool told = find && SUCCEEDED(find(monitor, 0 /* effective */, &x, &y)) && x > 0;
        ::FreeLibrary(shcore);
        if (told) return static_cast<int>(x);
    }
    const HDC screen = ::GetDC(nullptr);
    const int dpi = screen ? ::GetDeviceCaps(screen, LOGPIXELSX) : 0;
    if (screen) ::ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

HFONT makeFont(int dpi, const wchar_t* face, DWORD pitch) {
    return ::CreateFontW(-::MulDiv(kFontPoints, dpi, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                         DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                         pitch, face);
}

void registerWindowClass(HINSTANCE instance, WNDPROC procedure) {
    WNDCLASSEXW wc{};
    if (::GetClassInfoExW(instance, kWindowClass, &wc)) return;
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = procedure;
    wc.hInstance = instance;
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kWindowClass;
    ::RegisterClassExW(&wc);
}

// Over the owner when it shows, else in the middle of the work area; inside
// the work area either way, as far as the window fits.
POINT placeFor(HWND owner, int width, int height) {
    const RECT work = workAreaOf(monitorNear(owner));
    RECT around = work;
    if (owner && ::IsWindowVisible(owner) && !::IsIconic(owner)) ::GetWindowRect(owner, &around);
    POINT at{around.left + (around.right - around.left - width) / 2,
             around.top + (around.bottom - around.top - height) / 2};
    at.x = std::max(std::min(at.x, work.right - width), work.left);
    at.y = std::max(std::min(at.y, work.bottom - height), work.top);
    return at;
}

// What the title bar and borders add to a client area.
SIZE frameExtra() {
    RECT frame{0, 0, 0, 0};
    ::AdjustWindowRectEx(&frame, kWindowStyle, FALSE, kWindowExStyle);
    return {frame.right - frame.left, frame.bottom - frame.top};
}

// How wide the longest line draws, so that the list scrolls sideways to its end.
int widestLine(HWND list, HFONT font, const std::vector<std::string>& lines) {
    const HDC dc = ::GetDC(list);
    if (!dc) return 0;
    const HGDIOBJ was = ::SelectObject(dc, font);
    int widest = 0;
    for (const auto& line : lines) {
        const std::wstring text = platform::win::wide(line);
        SIZE size{};
        if (::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size))
            widest = std::max(widest, static_cast<int>(size.cx));
    }
    ::SelectObject(dc, was);
    ::ReleaseDC(list, dc);
    return widest + 4;
}

}  // namespace

Win32FormView::Win32FormView(ui::Form& form, HWND owner)
    : form_(form), owner_(owner), dpi_(fittingDpi(monitorNear(owner), dpiNear(owner))) {
    makeFonts();
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    registerWindowClass(instance, windowProc);

    const ui::Geometry area = form_.clientArea();
    const ui::Geometry size = ui::pixelsOf(area, dpi_);
    RECT outer{0, 0, size.width, size.height};
    ::AdjustWindowRectEx(&outer, kWindowStyle, FALSE, kWindowExStyle);
    const int width = outer.right - outer.left, height = outer.bottom - outer.top;
    const POINT at = placeFor(owner_, width, height);
    ::CreateWindowExW(kWindowExStyle, kWindowClass, platform::win::wide(form_.caption()).c_str(),
                      kWindowStyle, at.x, at.y, width, height, owner_, nullptr, instance, this);
    if (!window_) return;
    // Closed before the window goes, so nothing is posted to it afterwards.
    inbox_ = std::make_shared<ui::WindowInbox>(
        [window = window_] { ::PostMessageW(window, kPostedWork, 0, 0); });
    form_.setInbox(inbox_);
    build();
    refresh();
}

Win32FormView::~Win32FormView() {
    if (inbox_) {
        inbox_->close();
        if (form_.inbox() == inbox_) form_.setInbox(nullptr);
    }
    if (window_) {
        // Whatever the window still says while it goes is nobody's doing.
        ::SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
        ::DestroyWindow(window_);
    }
    if (textFont_) ::DeleteObject(textFont_);
    if (fixedFont_) ::DeleteObject(fixedFont_);
}

void Win32FormView::makeFonts() {
    textFont_ = makeFont(dpi_, L"MS UI Gothic", DEFAULT_PITCH | FF_DONTCARE);
    fixedFont_ = makeFont(dpi_, L"MS Gothic", FIXED_PITCH | FF_MODERN);
}

int Win32FormView::fittingDpi(HMONITOR monitor, int screenDpi) const {
    const RECT work = workAreaOf(monitor);
    const SIZE frame = frameExtra();
    return ui::fitToScreen(form_.clientArea(), screenDpi, work.right - work.left,
                           work.bottom - work.top, frame.cx, frame.cy)
        .dpi;
}

void Win32FormView::rescale(int dpi, const RECT& suggested) {
    if (dpi <= 0) return;
    const HFONT oldText = textFont_, oldFixed = fixedFont_;
    dpi_ = fittingDpi(::MonitorFromRect(&suggested, MONITOR_DEFAULTTONEAREST), dpi);
    makeFonts();
    for (Drawn& d : drawn_) {
        try {
            const Control& c = form_.control(d.name);
            RECT r = pixelsOf(c.geometry);
            if (!d.frame.empty()) {
                const RECT frame = pixelsOf(form_.control(d.frame).geometry);
                ::OffsetRect(&r, -frame.left, -frame.top);
            }
            ::SetWindowPos(d.window, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                           SWP_NOZORDER | SWP_NOACTIVATE);
            ::SendMessageW(d.window, WM_SETFONT,
                           reinterpret_cast<WPARAM>(c.fixedPitch ? fixedFont_ : textFont_), TRUE);
        } catch (...) {
            // A control the form no longer has keeps its place.
        }
        d.lines.clear();  // a list box measures its lines again with the new font
    }
    RECT placed = suggested;
    if (dpi_ != dpi) {
        // Drawn smaller than Windows supposes: sized from the twips, kept on that monitor.
        const ui::Geometry client = ui::pixelsOf(form_.clientArea(), dpi_);
        const SIZE frame = frameExtra();
        const int width = client.width + frame.cx, height = client.height + frame.cy;
        const RECT work = workAreaOf(::MonitorFromRect(&suggested, MONITOR_DEFAULTTONEAREST));
        placed.left = std::max(std::min(suggested.left, work.right - width), work.left);
        placed.top = std::max(std::min(suggested.top, work.bottom - height), work.top);
        placed.right = placed.left + width;
        placed.bottom = placed.top + height;
    }
    ::SetWindowPos(window_, nullptr, placed.left, placed.top, placed.right - placed.left,
                   placed.bottom - placed.top, SWP_NOZORDER | SWP_NOACTIVATE);
    if (oldText) ::DeleteObject(oldText);
    if (oldFixed) ::DeleteObject(oldFixed);
    refresh();
    ::InvalidateRect(window_, nullptr, TRUE);
}

HWND Win32FormView::innermostRunning() {
    return innermostView ? innermostView->window_ : nullptr;
}

HWND activeConsoleWindow() {
    if (const HWND view = Win32FormView::innermostRunning()) return view;
    // The console's hidden window may be the active one while its menu is up.
    const HWND active = ::GetActiveWindow();
    return active && ::IsWindowVisible(active) && ::IsWindowEnabled(active) ? active : nullptr;
}

RECT Win32FormView::pixelsOf(const ui::Geometry& g) const {
    const ui::Geometry p = ui::pixelsOf(g, dpi_);
    return {p.left, p.top, p.left + p.width, p.top + p.height};
}

void Win32FormView::build() {
    // Drawn in the form's order, which is also the order Tab walks; a frame
    // comes before the controls it holds even where the form names it later.
    const auto& controls = form_.controls();
    std::vector<HWND> made(controls.size(), nullptr);
    const auto frameIndex = [&](const std::string& name) -> int {
        for (size_t i = 0; i < controls.size(); ++i)
            if (controls[i].kind == ControlKind::frame && controls[i].name == name)
                return static_cast<int>(i);
        return -1;
    };
    const auto make = [&](size_t i, HWND parent, POINT origin) {
        made[i] = makeControl(controls[i], parent, origin, kFirstControlId + static_cast<int>(i));
        if (made[i])
            drawn_.push_back({controls[i].name,
                              controls[i].kind,
                              made[i],
                              controls[i].redText,
                              {},
                              parent == window_ ? std::string() : controls[i].frame});
    };
    for (size_t i = 0; i < controls.size(); ++i) {
        if (made[i]) continue;
        const int holder =
            controls[i].kind == ControlKind::frame ? -1 : frameIndex(controls[i].frame);
        if (holder < 0) {
            make(i, window_, {0, 0});
            continue;
        }
        if (!made[holder]) make(static_cast<size_t>(holder), window_, {0, 0});
        const RECT frame = pixelsOf(controls[holder].geometry);
        make(i, made[holder] ? made[holder] : window_,
             made[holder] ? POINT{frame.left, frame.top} : POINT{0, 0});
    }
}

HWND Win32FormView::makeControl(const Control& c, HWND parent, POINT origin, int id) {
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
    DWORD exStyle = 0;
    const wchar_t* windowClass = L"STATIC";
    switch (c.kind) {
        case ControlKind::frame:
            windowClass = L"BUTTON";
            style |= BS_GROUPBOX | WS_CLIPCHILDREN;
            exStyle = WS_EX_CONTROLPARENT;
            break;
        case ControlKind::label:
            style |= SS_NOPREFIX | (c.centred ? SS_CENTER | SS_CENTERIMAGE : SS_LEFT);
            if (c.border) style |= SS_SUNKEN;
            break;
        case ControlKind::textBox:
            windowClass = L"EDIT";
            style |= ES_AUTOHSCROLL | (c.centred ? ES_CENTER : ES_LEFT);
            style |= c.readOnly ? ES_READONLY : WS_TABSTOP;
            if (c.masked) style |= ES_PASSWORD;
            exStyle = WS_EX_CLIENTEDGE;
            break;
        case ControlKind::button:
            windowClass = L"BUTTON";
            style |= WS_TABSTOP | BS_PUSHBUTTON;
            break;
        case ControlKind::checkBox:
            windowClass = L"BUTTON";
            style |= WS_TABSTOP | BS_AUTOCHECKBOX;
            break;
        case ControlKind::listBox:
            windowClass = L"LISTBOX";
            style |= WS_TABSTOP | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_HSCROLL;
            exStyle = WS_EX_CLIENTEDGE;
            break;
    }
    const RECT r = pixelsOf(c.geometry);
    const HWND control = ::CreateWindowExW(
        exStyle, windowClass, L"", style, r.left - origin.x, r.top - origin.y, r.right - r.left,
        r.bottom - r.top, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
        ::GetModuleHandleW(nullptr), nullptr);
    if (!control) return nullptr;
    ::SendMessageW(control, WM_SETFONT,
                   reinterpret_cast<WPARAM>(c.fixedPitch ? fixedFont_ : textFont_), FALSE);
    if (c.kind == ControlKind::frame)
        ::SetWindowSubclass(control, frameProc, 1, reinterpret_cast<DWORD_PTR>(window_));
    return control;
}

void Win32FormView::apply(const Control& c, Drawn& d) {
    if (static_cast<bool>(::IsWindowEnabled(d.window)) != c.enabled)
        ::EnableWindow(d.window, c.enabled);
    const bool shown = (::GetWindowLongW(d.window, GWL_STYLE) & WS_VISIBLE) != 0;
    if (shown != c.visible) ::ShowWindow(d.window, c.visible ? SW_SHOWNA : SW_HIDE);
    switch (c.kind) {
        case ControlKind::frame:
        case ControlKind::label:
        case ControlKind::button:
            setWindowText(d.window, c.caption);
            break;
        case ControlKind::checkBox: {
            setWindowText(d.window, c.caption);
            const WPARAM state = c.checked ? BST_CHECKED : BST_UNCHECKED;
            if (static_cast<WPARAM>(::SendMessageW(d.window, BM_GETCHECK, 0, 0)) != state)
                ::SendMessageW(d.window, BM_SETCHECK, state, 0);
            break;
        }
        case ControlKind::textBox: {
            // A box nobody types in may shorten a mount point to its medium.
            const std::string shown = c.enabled ? c.text : ui::shownPlace(c.text);
            // Setting an equal text would still move the caret.
            if (windowText(d.window) != shown) {
                setWindowText(d.window, shown);
                const LPARAM end = ::GetWindowTextLengthW(d.window);
                ::SendMessageW(d.window, EM_SETSEL, static_cast<WPARAM>(end), end);
            }
            break;
        }
        case ControlKind::listBox: {
            if (d.lines != c.lines) {
                ::SendMessageW(d.window, WM_SETREDRAW, FALSE, 0);
                ::SendMessageW(d.window, LB_RESETCONTENT, 0, 0);
                for (const auto& line : c.lines) {
                    const std::wstring text = platform::win::wide(line);
                    ::SendMessageW(d.window, LB_ADDSTRING, 0,
                                   reinterpret_cast<LPARAM>(text.c_str()));
                }
                ::SendMessageW(d.window, LB_SETHORIZONTALEXTENT,
                               static_cast<WPARAM>(widestLine(
                                   d.window, c.fixedPitch ? fixedFont_ : textFont_, c.lines)),
                               0);
                ::SendMessageW(d.window, WM_SETREDRAW, TRUE, 0);
                ::InvalidateRect(d.window, nullptr, TRUE);
                d.lines = c.lines;
            }
            const int count = static_cast<int>(c.lines.size());
            const int row = c.selected >= 0 && c.selected < count ? c.selected : -1;
            if (static_cast<int>(::SendMessageW(d.window, LB_GETCURSEL, 0, 0)) != row)
                ::SendMessageW(d.window, LB_SETCURSEL, static_cast<WPARAM>(row), 0);
            break;
        }
    }
}

void Win32FormView::refresh() {
    refreshing_ = true;
    for (Drawn& d : drawn_) {
        try {
            apply(form_.control(d.name), d);
        } catch (...) {
            // A control the form no longer has keeps what it shows.
        }
    }
    refreshing_ = false;
}

HWND Win32FormView::controlHandle(const std::string& controlName) const {
    for (const Drawn& d : drawn_)
        if (d.name == controlName) return d.window;
    return nullptr;
}

Win32FormView::Drawn* Win32FormView::drawnOf(HWND control) {
    if (!control) return nullptr;
    for (Drawn& d : drawn_)
        if (d.window == control) return &d;
    return nullptr;
}

void Win32FormView::takePosted() {
    if (unloaded_ || !inbox_ || !inbox_->runPosted()) return;
    refresh();
    if (form_.unloadRequested()) close(1);
}

void Win32FormView::handle(const std::string& controlName,
                           const std::function<void(Control&)>& take, bool isClick) {
    if (refreshing_ || unloaded_) return;
    ui::deliverEvent(form_, controlName, take, isClick);
    refresh();
    if (form_.unloadRequested()) close(1);
}

void Win32FormView::onCommand(WPARAM wParam, LPARAM lParam) {
    const int id = LOWORD(wParam);
    const int code = HIWORD(wParam);
    Drawn* d = drawnOf(reinterpret_cast<HWND>(lParam));
    if (!d) {
        // The dialog manager's Escape; its Enter without a focused button presses nothing.
        if (id == IDCANCEL) close(0);
        return;
    }
    const std::string name = d->name;
    switch (d->kind) {
        case ControlKind::button:
            if (code == BN_CLICKED) handle(name, {}, true);
            break;
        case ControlKind::checkBox:
            if (code == BN_CLICKED) {
                const bool on = ::SendMessageW(d->window, BM_GETCHECK, 0, 0) == BST_CHECKED;
                handle(
                    name, [on](Control& ctl) { ctl.checked = on; }, true);
            }
            break;
        case ControlKind::textBox:
            if (code == EN_CHANGE && !refreshing_) {
                const std::string text = windowText(d->window);
                handle(
                    name, [&text](Control& ctl) { ctl.text = text; }, false);
            }
            break;
        case ControlKind::listBox:
            if (code == LBN_SELCHANGE) {
                const int row = static_cast<int>(::SendMessageW(d->window, LB_GETCURSEL, 0, 0));
                // The user cannot empty the choice: it is drawn again.
                if (row < 0) {
                    if (!refreshing_) refresh();
                    break;
                }
                handle(
                    name, [row](Control& ctl) { ctl.selected = row; }, true);
            }
            break;
        case ControlKind::label:
        case ControlKind::frame:
            break;
    }
}

bool Win32FormView::preTranslate(const MSG& message) {
    if (message.message != WM_KEYDOWN) return false;
    if (message.hwnd != window_ && !::IsChild(window_, message.hwnd)) return false;
    switch (message.wParam) {
        case VK_ESCAPE:
            close(0);
            return true;
        case VK_RETURN: {
            // The focused button, as on the keyboard anywhere; the windows have
            // no default button, so Enter elsewhere presses none.
            const Drawn* d = drawnOf(message.hwnd);
            if (d && d->kind == ControlKind::button && ::IsWindowEnabled(d->window) &&
                ::IsWindowVisible(d->window))
                handle(d->name, {}, true);
            return true;
        }
        case VK_UP:
        case VK_DOWN: {
            // In a list with no choice yet, the first arrow key chooses line one.
            const Drawn* d = drawnOf(message.hwnd);
            if (!d || d->kind != ControlKind::listBox) return false;
            if (::SendMessageW(d->window, LB_GETCURSEL, 0, 0) != LB_ERR ||
                ::SendMessageW(d->window, LB_GETCOUNT, 0, 0) <= 0)
                return false;
            ::SendMessageW(d->window, LB_SETCURSEL, 0, 0);
            handle(
                d->name, [](Control& ctl) { ctl.selected = 0; }, true);
            return true;
        }
        default:
            return false;
    }
}

void Win32FormView::close(int result) {
    if (closed_) return;
    closed_ = true;
    result_ = result;
    unloadOnce();
    // A running view hides once its owner has its input back.
    if (!running_ && window_) ::ShowWindow(window_, SW_HIDE);
}

void Win32FormView::unloadOnce() {
    if (unloaded_) return;
    unloaded_ = true;
    // What comes back later finds the form closed.
    if (inbox_) inbox_->close();
    ui::unloadForm(form_);
}

int Win32FormView::run() {
    closed_ = false;
    result_ = 0;
    ui::loadForm(form_);
    refresh();
    if (form_.unloadRequested()) {
        unloadOnce();
        return 1;
    }
    if (!window_) {
        unloadOnce();
        return 0;
    }
    const bool ownerWasEnabled = owner_ && ::IsWindowEnabled(owner_);
    if (owner_) ::EnableWindow(owner_, FALSE);
    outer_ = innermostView;
    innermostView = this;
    running_ = true;
    ::ShowWindow(window_, SW_SHOW);
    ::SetForegroundWindow(window_);
    if (const HWND first = ::GetNextDlgTabItem(window_, nullptr, FALSE)) ::SetFocus(first);

    bool quitting = false;
    WPARAM quitCode = 0;
    MSG message;
    while (!closed_) {
        const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) {
            quitting = true;
            quitCode = message.wParam;
            break;
        }
        if (got == -1) {
            close(0);
            break;
        }
        // Every window of the thread gets its messages: the console's timers
        // and posted work go on while this one is up.
        if (preTranslate(message) || ::IsDialogMessageW(window_, &message)) continue;
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }

    const bool wasActive = ::GetActiveWindow() == window_;
    if (owner_ && ownerWasEnabled) ::EnableWindow(owner_, TRUE);
    ::ShowWindow(window_, SW_HIDE);
    if (owner_ && wasActive && ::IsWindowVisible(owner_)) ::SetActiveWindow(owner_);
    // Modal loops end innermost first.
    innermostView = outer_;
    running_ = false;
    if (quitting) {
        // The program is ending: it ends at once, as without this window.
        closed_ = true;
        ::PostQuitMessage(static_cast<int>(quitCode));
        return 0;
    }
    return result_;
}

LRESULT CALLBACK Win32FormView::windowProc(HWND window, UINT message, WPARAM wParam,
                                           LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* view = static_cast<Win32FormView*>(
            reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams);
        view->window_ = window;
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(view));
    }
    auto* view = reinterpret_cast<Win32FormView*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!view) return ::DefWindowProcW(window, message, wParam, lParam);
    return view->onMessage(message, wParam, lParam);
}

LRESULT Win32FormView::onMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            onCommand(wParam, lParam);
            return 0;
        case WM_CLOSE:
            close(0);
            return 0;
        case kPostedWork:
            takePosted();
            return 0;
        case WM_DPICHANGED:
            rescale(LOWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
            return 0;
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN: {
            const LRESULT brush = ::DefWindowProcW(window_, message, wParam, lParam);
            const Drawn* d = drawnOf(reinterpret_cast<HWND>(lParam));
            if (d && d->redText) ::SetTextColor(reinterpret_cast<HDC>(wParam), RGB(255, 0, 0));
            return brush;
        }
        case WM_ACTIVATE:
            // The control that had the focus gets it back with the window.
            if (LOWORD(wParam) == WA_INACTIVE) {
                const HWND focus = ::GetFocus();
                if (focus && ::IsChild(window_, focus)) lastFocus_ = focus;
            } else if (lastFocus_ && ::IsWindow(lastFocus_) && ::IsWindowEnabled(lastFocus_)) {
                ::SetFocus(lastFocus_);
                return 0;
            }
            break;
        default:
            break;
    }
    return ::DefWindowProcW(window_, message, wParam, lParam);
}

}  // namespace plenvo::app
