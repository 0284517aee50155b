#include "platform/network/unc_path.h"

#include "platform/network/unc_parts.h"
#include "platform/text/utf8_path.h"

namespace plenvo::platform::unc {

std::optional<std::filesystem::path> below(std::filesystem::path folder,
                                           const std::vector<std::string>& parts,
                                           FolderSpellings* spellings) {
    for (size_t i = 2; i < parts.size(); ++i) {
        if (parts[i].empty() || parts[i] == ".") continue;
        if (parts[i] == "..") return std::nullopt;
        folder /= pathFromUtf8(spellings ? spellings->of(folder, parts[i]) : parts[i]);
    }
    return folder;
}

}  // namespace plenvo::platform::unc

namespace plenvo::platform {

std::optional<std::filesystem::path> localPathOf(const std::string& windowsPath) {
    ShareLookup lookup;
    return localPathOf(windowsPath, lookup);
}

}  // namespace plenvo::platform
