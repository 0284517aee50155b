#include <gtest/gtest.h>

#include "app/win32/win_form_view.h"
#include "app/win32/win_view_text.h"
#include "drawn_check.h"
#include "driver.h"
#include "platform/win/win32_win.h"

namespace plenvo::app {
namespace {

using ui::ControlKind;

// A window with one control of every kind; clicks are recorded.
class SampleForm final : public ui::Form {
  public:
    SampleForm() {
        using ui::designed;
        add(designed("Frame1", ControlKind::frame, {150, 300, 4500, 3000}, "枠"));
        auto& label =
            add(designed("Label1", ControlKind::label, {450, 750, 3000, 300}, "ラベル", "Frame1"));
        label.redText = true;
        label.border = true;
        add(designed("Text1", ControlKind::textBox, {450, 1200, 3000, 345}, {}, "Frame1"));
        auto& list =
            add(designed("List1", ControlKind::listBox, {450, 1650, 3000, 1200}, {}, "Frame1"));
        list.lines = {"0001 | USB", "0002 | SD"};
        list.fixedPitch = true;
        add(designed("Check1", ControlKind::checkBox, {4800, 300, 1500, 300}, "監視"));
        add(designed("Command1", ControlKind::button, {4800, 900, 1500, 375}, "押す"));
        add(designed("Close", ControlKind::button, {4800, 1500, 1500, 375}, "閉じる"));
    }
    std::string caption() const override { return "見本"; }
    ui::Geometry clientArea() const override { return {0, 0, 6600, 3600}; }
    void Form_Load() override {
        ++loads;
        if (closeAtLoad) requestUnload();
    }
    void Form_Unload() override { ++unloads; }
    void click(const std::string& name) override {
        clicks.push_back(name);
        if (name == "Command1") control("Label1").caption = "押された";
        if (name == "Close") requestUnload();
    }

    int loads = 0, unloads = 0;
    bool closeAtLoad = false;
    std::vector<std::string> clicks;
};

class Win32FormViewTest : public ::testing::Test {
  protected:
    HWND at(const std::string& name) const { return view.controlHandle(name); }
    static void type(HWND edit, const std::string& text) {
        ::SendMessageW(edit, WM_SETTEXT, 0,
                       reinterpret_cast<LPARAM>(platform::win::wide(text).c_str()));
    }

    SampleForm form;
    Win32FormView view{form};
    test::Driver driver;
};

TEST_F(Win32FormViewTest, DrawsEveryControlWhereTheFormPutsIt) {
    test::expectDrawnFromModel(view, form);
    // 15 twips a pixel at 96 dpi; positions are the window's own, also inside the frame.
    const auto px = [&](int pixels96) { return pixels96 * view.dpi() / 96; };
    const RECT label = test::placeIn(view.handle(), at("Label1"));
    EXPECT_EQ(label.left, px(30));
    EXPECT_EQ(label.top, px(50));
    EXPECT_EQ(::GetParent(at("Label1")), at("Frame1"));
    EXPECT_NE(::GetWindowLongW(at("Label1"), GWL_STYLE) & SS_SUNKEN, 0);

    // Red text where the form asks for it, and only there.
    const HDC dc = ::CreateCompatibleDC(nullptr);
    ::SendMessageW(view.handle(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                   reinterpret_cast<LPARAM>(at("Label1")));
    EXPECT_EQ(::GetTextColor(dc), RGB(255, 0, 0));
    ::SetTextColor(dc, RGB(0, 0, 0));
    ::SendMessageW(view.handle(), WM_CTLCOLORLISTBOX, reinterpret_cast<WPARAM>(dc),
                   reinterpret_cast<LPARAM>(at("List1")));
    EXPECT_NE(::GetTextColor(dc), RGB(255, 0, 0));
    ::DeleteDC(dc);
    EXPECT_EQ(form.loads, 0) << "the form loads when it runs";
}

TEST_F(Win32FormViewTest, ForwardsTheUsersEventsAndRedrawsFromTheData) {
    driver.then([&] { ::PostMessageW(view.handle(), WM_COMMAND, MAKEWPARAM(0, BN_CLICKED), 0); })
        .then([&] { test::postNotification(at("Command1"), BN_CLICKED); })
        .then([&] {
            EXPECT_EQ(form.clicks, std::vector<std::string>{"Command1"});
            EXPECT_EQ(windowText(at("Label1")), "押された");
            // Typing in a box inside the frame reaches the form, and only its text.
            type(at("Text1"), "\\\\srv01\\data");
            EXPECT_EQ(form.control("Text1").text, "\\\\srv01\\data");
            ::SendMessageW(at("Check1"), BM_SETCHECK, BST_CHECKED, 0);
            test::postNotification(at("Check1"), BN_CLICKED);
        })
        .then([&] {
            EXPECT_TRUE(form.control("Check1").checked);
            ::SendMessageW(at("List1"), LB_SETCURSEL, 1, 0);
            test::postNotification(at("List1"), LBN_SELCHANGE);
        })
        .then([&] {
            EXPECT_EQ(form.control("List1").selected, 1);
            EXPECT_EQ(form.clicks, (std::vector<std::string>{"Command1", "Check1", "List1"}));
            // A change the form makes on its own shows at the next refresh.
            form.control("List1").lines = {"only"};
            form.control("Text1").enabled = false;
            view.refresh();
            EXPECT_EQ(test::listLines(at("List1")), std::vector<std::string>{"only"});
            EXPECT_FALSE(::IsWindowEnabled(at("Text1")));
            EXPECT_EQ(form.clicks.size(), 3u);
            EXPECT_EQ(form.unloads, 0);
            test::postNotification(at("Close"), BN_CLICKED);
        })
        .start();
    EXPECT_EQ(view.run(), 1);
    EXPECT_TRUE(driver.finished());
    EXPECT_EQ(form.loads, 1);
    EXPECT_EQ(form.unloads, 1);
    EXPECT_FALSE(::IsWindowVisible(view.handle()));
}

TEST_F(Win32FormViewTest, LoadThatClosesTheFormShowsNothingAndUnloadsOnce) {
    form.closeAtLoad = true;
    EXPECT_EQ(view.run(), 1);
    EXPECT_EQ(form.loads, 1);
    EXPECT_EQ(form.unloads, 1);
    EXPECT_FALSE(::IsWindowVisible(view.handle()));
}

TEST_F(Win32FormViewTest, TheCloseBoxUnloadsOnce) {
    driver
        .then([&] {
            ::PostMessageW(view.handle(), WM_CLOSE, 0, 0);
            ::PostMessageW(view.handle(), WM_CLOSE, 0, 0);
        })
        .start();
    EXPECT_EQ(view.run(), 0);
    EXPECT_EQ(form.unloads, 1);
}

TEST_F(Win32FormViewTest, TheProgramEndingEndsTheWindowWithoutItsUnload) {
    driver.then([] { ::PostQuitMessage(3); }).start();
    EXPECT_EQ(view.run(), 0);
    EXPECT_EQ(form.unloads, 0);
    MSG quit{};
    ASSERT_TRUE(::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE))
        << "the outer loop ends too";
    EXPECT_EQ(quit.wParam, 3u);
}

TEST_F(Win32FormViewTest, MovedToAMonitorOfOtherDpiItIsSizedAgainFromTheTwips) {
    const auto fontHeight = [&](const std::string& name) {
        LOGFONTW font{};
        ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(at(name), WM_GETFONT, 0, 0)),
                     sizeof font, &font);
        return font.lfHeight;
    };
    const int dpiBefore = view.dpi();
    const LONG heightBefore = fontHeight("Label1");
    const int dpi = dpiBefore * 3 / 2;
    // As Windows suggests it: the same client area in the new dots per inch.
    RECT suggested{40, 30, 40 + 6600 * dpi / 1440, 30 + 3600 * dpi / 1440};
    ::AdjustWindowRectEx(&suggested, ::GetWindowLongW(view.handle(), GWL_STYLE), FALSE,
                         ::GetWindowLongW(view.handle(), GWL_EXSTYLE));
    ::SendMessageW(view.handle(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                   reinterpret_cast<LPARAM>(&suggested));

    EXPECT_EQ(view.dpi(), dpi);
    test::expectDrawnFromModel(view, form);
    // Inside the frame too: the label keeps its place relative to the window.
    EXPECT_EQ(test::placeIn(view.handle(), at("Label1")).left, 450 * dpi / 1440);
    EXPECT_EQ(fontHeight("Label1") * dpiBefore, heightBefore * dpi);
    RECT window;
    ::GetWindowRect(view.handle(), &window);
    EXPECT_EQ(window.left, suggested.left);
    EXPECT_EQ(window.right - window.left, suggested.right - suggested.left);
    // The list box still shows its lines, measured again.
    EXPECT_EQ(test::listLines(at("List1")), form.control("List1").lines);
}

TEST_F(Win32FormViewTest, AViewThatIsGoneDropsWhatIsHandedBack) {
    SampleForm other;
    bool ran = false;
    {
        Win32FormView gone(other);
        ASSERT_TRUE(other.inbox()->post([&] { ran = true; }));
    }
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&message);
    EXPECT_FALSE(ran);
    EXPECT_EQ(other.inbox(), nullptr);
}

// The registered media window at 150 %: larger than the test screen.
class LargeForm final : public ui::Form {
  public:
    LargeForm() {
        using ui::designed;
        add(designed("List1", ControlKind::listBox, {225, 225, 18000, 9000}));
        add(designed("削除", ControlKind::button, {18900, 12600, 2250, 743}, "削除"));
    }
    std::string caption() const override { return "大きな窓"; }
    ui::Geometry clientArea() const override { return {0, 0, 21645, 13793}; }
    void click(const std::string&) override {}
};

TEST(Win32FormViewFit, AWindowLargerThanTheWorkAreaIsDrawnSmallerWholeAndFitsIt) {
    LargeForm form;
    Win32FormView view(form);
    const auto expectInside = [&] {
        MONITORINFO monitor{};
        monitor.cbSize = sizeof monitor;
        ::GetMonitorInfoW(::MonitorFromWindow(view.handle(), MONITOR_DEFAULTTONEAREST), &monitor);
        RECT window{};
        ::GetWindowRect(view.handle(), &window);
        RECT inside{};
        EXPECT_TRUE(::IntersectRect(&inside, &window, &monitor.rcWork) &&
                    ::EqualRect(&inside, &window));
        test::expectDrawnFromModel(view, form);  // the far button too, in the smaller pixels
        LOGFONTW font{};
        ::GetObjectW(
            reinterpret_cast<HFONT>(::SendMessageW(view.controlHandle("削除"), WM_GETFONT, 0, 0)),
            sizeof font, &font);
        EXPECT_EQ(font.lfHeight, -::MulDiv(9, view.dpi(), 72));
    };
    const HDC screen = ::GetDC(nullptr);
    const int screenDpi = ::GetDeviceCaps(screen, LOGPIXELSX);
    ::ReleaseDC(nullptr, screen);
    EXPECT_LT(view.dpi(), screenDpi);
    expectInside();

    // Moved to a monitor of twice the dots per inch, it fits again.
    RECT suggested{0, 0, 21645 * screenDpi * 2 / 1440, 13793 * screenDpi * 2 / 1440};
    ::SendMessageW(view.handle(), WM_DPICHANGED, MAKEWPARAM(screenDpi * 2, screenDpi * 2),
                   reinterpret_cast<LPARAM>(&suggested));
    EXPECT_LT(view.dpi(), screenDpi);
    expectInside();
}

// A window of the console's that owns the view, as the check window owns the
// registered media window.
class OwnedView : public ::testing::Test {
  protected:
    OwnedView() {
        owner = ::CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP | WS_CAPTION | WS_VISIBLE, 0, 0,
                                  200, 100, nullptr, nullptr, nullptr, nullptr);
    }
    ~OwnedView() override { ::DestroyWindow(owner); }

    HWND owner;
    SampleForm form;
    test::Driver driver;
};

TEST_F(OwnedView, DisablesItsOwnerWhileUpAndOtherWindowsKeepTheirTimers) {
    Win32FormView view(form, owner);
    driver.startTicking();
    driver
        .then([&] {
            EXPECT_FALSE(::IsWindowEnabled(owner));
            EXPECT_EQ(::GetWindow(view.handle(), GW_OWNER), owner);
            EXPECT_TRUE(::IsWindowVisible(view.handle()));
            EXPECT_EQ(Win32FormView::innermostRunning(), view.handle());
            EXPECT_EQ(activeConsoleWindow(), view.handle());
        })
        .when([&] { return driver.ticks() >= 3; })
        .then([&] { test::postKey(VK_ESCAPE, view.controlHandle("Command1")); })
        .start();
    EXPECT_EQ(view.run(), 0) << "Escape closes as the user's own close";
    EXPECT_TRUE(driver.finished());
    EXPECT_TRUE(::IsWindowEnabled(owner));
    EXPECT_EQ(form.unloads, 1);
    EXPECT_EQ(Win32FormView::innermostRunning(), nullptr);
}

// A request list: a chosen line fills the box below, and the approve button
// approves what that box holds.
class RequestForm final : public ui::Form {
  public:
    RequestForm() {
        using ui::designed;
        add(designed("Filter", ControlKind::textBox, {150, 150, 3000, 345}));
        add(designed("Requests", ControlKind::listBox, {150, 600, 3000, 1200})).lines = {
            "0001 | USB", "0002 | SD"};
        add(designed("Chosen", ControlKind::textBox, {150, 1950, 3000, 345})).enabled = false;
        add(designed("Approve", ControlKind::button, {3300, 1950, 1200, 375}, "許可"));
    }
    std::string caption() const override { return "申請"; }
    ui::Geometry clientArea() const override { return {0, 0, 4800, 3000}; }
    void click(const std::string& name) override {
        clicks.push_back(name);
        const auto& list = control("Requests");
        if (name == "Requests")
            control("Chosen").text = list.selected >= 0 ? list.lines[list.selected] : "";
        if (name == "Approve" && !control("Chosen").text.empty())
            approved.push_back(control("Chosen").text);
    }

    std::vector<std::string> clicks, approved;
};

TEST(Win32FormViewKeyboard, TabWalksTheFormsOrderAndEnterPressesOnlyTheFocusedButton) {
    RequestForm form;
    Win32FormView view(form);
    test::Driver driver;
    const auto at = [&](const char* name) { return view.controlHandle(name); };
    driver.then([&] { EXPECT_EQ(::GetFocus(), at("Filter")) << "the first control has the focus"; })
        .then([&] { test::postKey(VK_RETURN); })
        .then([&] {
            EXPECT_TRUE(form.clicks.empty()) << "Enter in a text box presses no button";
            test::postKey(VK_TAB);
        })
        .then([&] {
            ASSERT_EQ(::GetFocus(), at("Requests"));
            EXPECT_EQ(form.control("Requests").selected, -1) << "the focus chooses no line";
            test::postKey(VK_DOWN);
        })
        .then([&] {
            EXPECT_EQ(form.control("Chosen").text, "0001 | USB");
            test::postKey(VK_DOWN);
        })
        .then([&] {
            EXPECT_EQ(form.control("Chosen").text, "0002 | SD");
            test::postKey(VK_TAB);
        })
        .then([&] {
            ASSERT_EQ(::GetFocus(), at("Approve")) << "a disabled box is passed over";
            test::postKey(VK_RETURN);
        })
        .then([&] {
            EXPECT_EQ(form.approved, std::vector<std::string>{"0002 | SD"});
            test::postKey(VK_ESCAPE);
        })
        .start();
    EXPECT_EQ(view.run(), 0);
    EXPECT_TRUE(driver.finished());
}

}  // namespace
}  // namespace plenvo::app
