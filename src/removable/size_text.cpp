#include "removable/size_text.h"

namespace plenvo::removable {
namespace {

// bytes / unit cut to `places` decimals, counted in whole units of 10^-places;
// integers throughout, so 1 GB is exactly "1" and nothing rounds up.
std::uint64_t cutFraction(std::uint64_t bytes, std::uint64_t unit, std::uint64_t scale) {
    return bytes / unit * scale + bytes % unit * scale / unit;
}

std::string decimalText(std::uint64_t scaled, std::uint64_t scale) {
    std::string text = std::to_string(scaled / scale);
    std::string fraction = std::to_string(scale + scaled % scale).substr(1);
    while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
    if (!fraction.empty()) text += "." + fraction;
    return text;
}

}  // namespace

std::string sizeText(std::uint64_t bytes) {
    constexpr std::uint64_t kMB = 1024 * 1024;
    constexpr std::uint64_t kGB = kMB * 1024;
    const std::uint64_t hundredthsGB = cutFraction(bytes, kGB, 100);
    if (hundredthsGB < 100) return decimalText(cutFraction(bytes, kMB, 10), 10) + " MB";
    return decimalText(hundredthsGB, 100) + " GB";
}

}  // namespace plenvo::removable
