#include "platform/drive_values.h"

#include <cctype>

namespace plenvo::platform {
namespace {

std::optional<std::int64_t> signed32FromHex(const std::string& hex) {
    if (hex.size() != 8) return std::nullopt;
    for (char c : hex)
        if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
    const auto value = static_cast<std::uint32_t>(std::stoul(hex, nullptr, 16));
    return static_cast<std::int64_t>(static_cast<std::int32_t>(value));
}

}  // namespace

std::optional<std::int64_t> serialFromUuid(const std::string& uuid, const std::string& fileSystem) {
    std::string hex;
    for (char c : uuid)
        if (c != '-') hex += c;
    if (fileSystem == "ntfs" || fileSystem == "ntfs3")
        return hex.size() == 16 ? signed32FromHex(hex.substr(8)) : std::nullopt;
    if (hex.size() < 8) return std::nullopt;
    return signed32FromHex(hex.substr(0, 8));
}

std::string driveNameOf(const std::string& localPath, const std::vector<MountEntry>& mounts) {
    if (localPath.empty() || localPath.front() != '/') return localPath.substr(0, 2);
    std::error_code ec;
    std::filesystem::path path = std::filesystem::weakly_canonical(localPath, ec);
    if (ec) path = std::filesystem::path(localPath).lexically_normal();
    const MountEntry* mount = mountHolding(mounts, path);
    return mount ? mount->mountPoint.string() : std::string("/");
}

}  // namespace plenvo::platform
