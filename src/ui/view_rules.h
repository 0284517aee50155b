#pragma once

#include <string>

#include "ui/form.h"

// Rules every view of a Form draws by, whatever its toolkit.
namespace plenvo::ui {

// Twips, the unit of a window's design: 1440 to the inch, so 15 to a pixel
// at 96 dots per inch.
inline constexpr int kTwipsPerInch = 1440;
inline constexpr int kTwipsPerPixel = kTwipsPerInch / 96;

// A place given in pixels at 96 dots per inch, in twips.
Geometry twipsOfPixels(int left, int top, int width, int height);
// A place in twips, in pixels at `dpi` dots per inch.
Geometry pixelsOf(const Geometry& twips, int dpi = 96);

// How a window is drawn on a screen: at `dpi`, its fonts and places shrunk
// together by `factor` (1 when it fits as designed), its client area then
// `client` pixels wide and high.
struct ScreenFit {
    int dpi = 96;
    double factor = 1.0;
    Geometry client;
};

// A window whose client area is `clientTwips`, on a screen of `screenDpi` dots
// per inch whose work area (the screen less the taskbar) is `workWidth` by
// `workHeight` pixels, with a title bar and borders `frameWidth` by
// `frameHeight` pixels more: drawn at `screenDpi` where it fits, else at as
// many dots per inch fewer as make the whole window fit, for a button off the
// screen cannot be pressed at all. A work area with no room for the frame
// itself tells nothing: the window is drawn as designed then.
ScreenFit fitToScreen(const Geometry& clientTwips, int screenDpi, int workWidth, int workHeight,
                      int frameWidth, int frameHeight);

// What a disabled drive box shows of a place: a mount point ("/media/u/USB1")
// is too long, and its last folder names the medium; other text as it stands.
std::string shownPlace(const std::string& text);

}  // namespace plenvo::ui
