#include "app/win32/win_tray_images.h"

#include <cstdlib>

#include "app/tray_menu.h"
#include "app/win32/win_resource_ids.h"

namespace plenvo::app {
namespace {

// Menus draw a 32-bit bitmap with its alpha only when the colours are
// premultiplied; the pictures are stored straight, as drawn.
void premultiply(HBITMAP bitmap) {
    DIBSECTION section{};
    if (::GetObjectW(bitmap, sizeof section, &section) != sizeof section) return;
    if (section.dsBm.bmBitsPixel != 32 || !section.dsBm.bmBits) return;
    auto* pixel = static_cast<BYTE*>(section.dsBm.bmBits);
    const size_t count = static_cast<size_t>(section.dsBm.bmWidth) *
                         static_cast<size_t>(std::abs(section.dsBm.bmHeight));
    for (size_t i = 0; i < count; ++i, pixel += 4) {
        const unsigned alpha = pixel[3];
        for (int c = 0; c < 3; ++c) pixel[c] = static_cast<BYTE>(pixel[c] * alpha / 255);
    }
}

std::wstring wideName(const std::string& ascii) {
    return std::wstring(ascii.begin(), ascii.end());
}

}  // namespace

TrayImages::TrayImages() {
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    const int width = ::GetSystemMetrics(SM_CXSMICON);
    const int height = ::GetSystemMetrics(SM_CYSMICON);
    for (int i = 0; i < IconAnimation::kFrameCount; ++i)
        frames_[static_cast<size_t>(i)].reset(
            static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(PLENVO_ICON_FRAME0 + i),
                                            IMAGE_ICON, width, height, LR_DEFAULTCOLOR)));
    for (const TrayMenuEntry& entry : kTrayMenuEntries) {
        OwnedBitmap bitmap(static_cast<HBITMAP>(::LoadImageW(
            instance, wideName(entry.bitmap).c_str(), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
        if (!bitmap) continue;
        premultiply(bitmap.get());
        bitmaps_.emplace(entry.bitmap, std::move(bitmap));
    }
}

HICON TrayImages::frame(int frame) const {
    if (frame < 0 || frame >= IconAnimation::kFrameCount) return nullptr;
    return frames_[static_cast<size_t>(frame)].get();
}

HBITMAP TrayImages::menuBitmap(const std::string& name) const {
    const auto found = bitmaps_.find(name);
    return found == bitmaps_.end() ? nullptr : found->second.get();
}

}  // namespace plenvo::app
