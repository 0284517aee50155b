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

// What a disabled drive box shows of a place: a mount point ("/media/u/USB1")
// is too long, and its last folder names the medium; other text as it stands.
std::string shownPlace(const std::string& text);

}  // namespace plenvo::ui
