#pragma once

#include <cstdint>
#include <string>

namespace plenvo::removable {

// Capacity as the check window shows it: gigabytes cut to two decimals, or
// below 1 GB megabytes cut to one; no trailing zeros ("512 MB", "7.45 GB").
std::string sizeText(std::uint64_t bytes);

}  // namespace plenvo::removable
