#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "app/win32/win_form_view.h"
#include "ui/form.h"

namespace plenvo::test {

// Where a window lies in the client area of `top`, in pixels.
RECT placeIn(HWND top, HWND window);
std::vector<std::string> listLines(HWND list);
std::string fontFace(HWND control);

// Checks through the window handles that the view shows every control of the
// form as its data says: window class, caption or text, place and size in
// pixels, enabled state, lines, check state, font.
void expectDrawnFromModel(const app::Win32FormView& view, const ui::Form& form);

}  // namespace plenvo::test
