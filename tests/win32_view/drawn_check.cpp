#include "drawn_check.h"

#include <gtest/gtest.h>

#include <cwctype>

#include "app/win32/win_view_text.h"
#include "platform/win/win32_win.h"

namespace plenvo::test {
namespace {

using ui::ControlKind;

std::wstring className(HWND window) {
    wchar_t name[64] = {};
    ::GetClassNameW(window, name, 64);
    std::wstring lower(name);
    for (auto& ch : lower) ch = static_cast<wchar_t>(std::towlower(ch));
    return lower;
}

const wchar_t* expectedClass(ControlKind kind) {
    switch (kind) {
        case ControlKind::label:
            return L"static";
        case ControlKind::textBox:
            return L"edit";
        case ControlKind::listBox:
            return L"listbox";
        default:
            return L"button";
    }
}

}  // namespace

RECT placeIn(HWND top, HWND window) {
    RECT r{};
    ::GetWindowRect(window, &r);
    ::MapWindowPoints(nullptr, top, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

std::vector<std::string> listLines(HWND list) {
    std::vector<std::string> lines;
    const auto count = ::SendMessageW(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        std::wstring line(static_cast<size_t>(::SendMessageW(list, LB_GETTEXTLEN, i, 0)) + 1,
                          L'\0');
        line.resize(static_cast<size_t>(
            ::SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(line.data()))));
        lines.push_back(platform::win::utf8(line));
    }
    return lines;
}

std::string fontFace(HWND control) {
    const auto font = reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0));
    LOGFONTW look{};
    if (!font || !::GetObjectW(font, sizeof look, &look)) return {};
    return platform::win::utf8(look.lfFaceName);
}

void expectDrawnFromModel(const app::Win32FormView& view, const ui::Form& form) {
    const HWND top = view.handle();
    ASSERT_NE(top, nullptr);
    const auto px = [&](int twips) { return static_cast<LONG>(twips * view.dpi() / 1440); };
    EXPECT_EQ(app::windowText(top), form.caption());
    RECT client{};
    ::GetClientRect(top, &client);
    EXPECT_EQ(client.right, px(form.clientArea().width));
    EXPECT_EQ(client.bottom, px(form.clientArea().height));

    for (const ui::Control& c : form.controls()) {
        SCOPED_TRACE(c.name);
        const HWND w = view.controlHandle(c.name);
        ASSERT_NE(w, nullptr);
        const LONG style = ::GetWindowLongW(w, GWL_STYLE);
        EXPECT_EQ((style & WS_VISIBLE) != 0, c.visible);
        if (!c.visible) continue;
        EXPECT_EQ(className(w), expectedClass(c.kind));
        const RECT at = placeIn(top, w);
        EXPECT_EQ(at.left, px(c.geometry.left));
        EXPECT_EQ(at.top, px(c.geometry.top));
        EXPECT_EQ(at.right - at.left, px(c.geometry.width));
        EXPECT_EQ(at.bottom - at.top, px(c.geometry.height));
        EXPECT_EQ(::IsWindowEnabled(w) != FALSE, c.enabled);
        if (c.kind != ControlKind::frame) {
            EXPECT_EQ(fontFace(w), c.fixedPitch ? "MS Gothic" : "MS UI Gothic");
        }
        switch (c.kind) {
            case ControlKind::frame:
                EXPECT_EQ(style & BS_TYPEMASK, BS_GROUPBOX);
                EXPECT_EQ(app::windowText(w), c.caption);
                break;
            case ControlKind::label:
            case ControlKind::button:
                EXPECT_EQ(app::windowText(w), c.caption);
                break;
            case ControlKind::checkBox:
                EXPECT_EQ(style & BS_TYPEMASK, BS_AUTOCHECKBOX);
                EXPECT_EQ(app::windowText(w), c.caption);
                EXPECT_EQ(::SendMessageW(w, BM_GETCHECK, 0, 0),
                          c.checked ? BST_CHECKED : BST_UNCHECKED);
                break;
            case ControlKind::textBox:
                EXPECT_EQ(app::windowText(w), c.text);
                EXPECT_EQ((style & ES_PASSWORD) != 0, c.masked);
                break;
            case ControlKind::listBox:
                EXPECT_NE(style & LBS_NOTIFY, 0);
                EXPECT_EQ(listLines(w), c.lines);
                EXPECT_EQ(::SendMessageW(w, LB_GETCURSEL, 0, 0), c.selected);
                break;
        }
        // A control inside a frame is drawn inside the frame's window.
        if (!c.frame.empty() && view.controlHandle(c.frame)) {
            EXPECT_EQ(::GetParent(w), view.controlHandle(c.frame));
        }
    }
}

}  // namespace plenvo::test
