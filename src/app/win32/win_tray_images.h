#pragma once

#include <windows.h>

#include <array>
#include <map>
#include <memory>
#include <string>
#include <type_traits>

#include "app/icon_animation.h"

namespace plenvo::app {

struct IconRelease {
    void operator()(HICON icon) const { ::DestroyIcon(icon); }
};
struct BitmapRelease {
    void operator()(HBITMAP bitmap) const { ::DeleteObject(bitmap); }
};
using OwnedIcon = std::unique_ptr<std::remove_pointer_t<HICON>, IconRelease>;
using OwnedBitmap = std::unique_ptr<std::remove_pointer_t<HBITMAP>, BitmapRelease>;

// The pictures the program carries as resources (win_images.rc): the seven
// frames of the tray icon at the notification area's size, frame 2 the
// resting one, and the menu entries' bitmaps by name (LOG, Setup, USB, ED,
// hatena, CL). One that cannot be loaded is null: the icon or entry goes
// without it.
class TrayImages {
  public:
    TrayImages();

    HICON frame(int frame) const;
    HBITMAP menuBitmap(const std::string& name) const;

  private:
    std::array<OwnedIcon, IconAnimation::kFrameCount> frames_;
    std::map<std::string, OwnedBitmap> bitmaps_;
};

}  // namespace plenvo::app
