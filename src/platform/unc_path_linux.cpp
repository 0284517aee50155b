// Placeholder until share resolution lands: only local paths are reachable.
#include "platform/unc_path.h"

namespace plenvo::platform {

std::optional<std::filesystem::path> localPathOf(const std::string& windowsPath) {
    if (!windowsPath.empty() && windowsPath.front() == '/') return std::filesystem::path(windowsPath);
    return std::nullopt;
}

}  // namespace plenvo::platform
