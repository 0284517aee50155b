#include "ui/view_rules.h"

#include <algorithm>

namespace plenvo::ui {

Geometry twipsOfPixels(int left, int top, int width, int height) {
    return {left * kTwipsPerPixel, top * kTwipsPerPixel, width * kTwipsPerPixel,
            height * kTwipsPerPixel};
}

Geometry pixelsOf(const Geometry& twips, int dpi) {
    const auto px = [dpi](int t) { return t * dpi / kTwipsPerInch; };
    return {px(twips.left), px(twips.top), px(twips.width), px(twips.height)};
}

ScreenFit fitToScreen(const Geometry& clientTwips, int screenDpi, int workWidth, int workHeight,
                      int frameWidth, int frameHeight) {
    const int designed = std::max(screenDpi, 1);
    int dpi = designed;
    const int roomWidth = workWidth - frameWidth, roomHeight = workHeight - frameHeight;
    // Rounded down, so that pixelsOf, which also rounds down, stays inside the room.
    const auto fitting = [](int room, int twips) {
        return static_cast<int>(static_cast<long long>(room) * kTwipsPerInch / twips);
    };
    if (roomWidth > 0 && roomHeight > 0) {
        if (clientTwips.width > 0) dpi = std::min(dpi, fitting(roomWidth, clientTwips.width));
        if (clientTwips.height > 0) dpi = std::min(dpi, fitting(roomHeight, clientTwips.height));
        dpi = std::max(dpi, 1);
    }
    const Geometry client = pixelsOf({0, 0, clientTwips.width, clientTwips.height}, dpi);
    return {dpi, static_cast<double>(dpi) / designed, client};
}

std::string shownPlace(const std::string& text) {
    if (text.empty() || text.front() != '/') return text;
    std::string path = text;
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path.size() > 1 ? path.substr(path.rfind('/') + 1) : text;
}

}  // namespace plenvo::ui
