#pragma once

#include <windows.h>

#include <string>

namespace plenvo::app {

// A window's text as the console keeps its texts, in UTF-8.
std::string windowText(HWND window);
// Sets it only where it differs, so that nothing flickers or moves.
void setWindowText(HWND window, const std::string& text);

}  // namespace plenvo::app
