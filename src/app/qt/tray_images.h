#pragma once

#include <QIcon>
#include <string>

namespace plenvo::app {

// The images the program carries (embedded by plenvo_tray_images in CMake):
// the seven frames of the tray icon, frame 2 the resting one, and the menu
// entries' bitmaps by name (LOG, Setup, USB, ED, hatena, CL).
QIcon trayFrame(int frame);
QIcon menuBitmap(const std::string& name);

}  // namespace plenvo::app
