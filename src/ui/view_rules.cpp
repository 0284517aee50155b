#include "ui/view_rules.h"

namespace plenvo::ui {

Geometry twipsOfPixels(int left, int top, int width, int height) {
    return {left * kTwipsPerPixel, top * kTwipsPerPixel, width * kTwipsPerPixel,
            height * kTwipsPerPixel};
}

Geometry pixelsOf(const Geometry& twips, int dpi) {
    const auto px = [dpi](int t) { return t * dpi / kTwipsPerInch; };
    return {px(twips.left), px(twips.top), px(twips.width), px(twips.height)};
}

std::string shownPlace(const std::string& text) {
    if (text.empty() || text.front() != '/') return text;
    std::string path = text;
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path.size() > 1 ? path.substr(path.rfind('/') + 1) : text;
}

}  // namespace plenvo::ui
