#include "platform/removable_drives.h"

#include <cctype>

namespace plenvo::platform {

std::optional<std::int32_t> serialFromUuid(const std::string& uuid) {
    std::string digits;
    for (char c : uuid) {
        if (c == '-') continue;
        if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
        digits += c;
    }
    if (digits.size() < 8) return std::nullopt;
    const auto low =
        static_cast<std::uint32_t>(std::stoul(digits.substr(digits.size() - 8), nullptr, 16));
    return static_cast<std::int32_t>(low);
}

}  // namespace plenvo::platform
