#pragma once

#include "ui/view_rules.h"

namespace plenvo::settings {

// The settings windows are laid out in pixels at 96 DPI; forms keep twips.
constexpr auto pixels = ui::twipsOfPixels;

}  // namespace plenvo::settings
