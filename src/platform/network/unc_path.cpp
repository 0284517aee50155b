#include "platform/network/unc_path.h"

#include "platform/network/unc_parts.h"
#include "platform/text/utf8_path.h"

namespace plenvo::platform::unc {

bool isSeparator(char c) {
    return c == '\\' || c == '/';
}

std::vector<std::string> componentsOf(const std::string& unc) {
    std::vector<std::string> parts;
    std::string part;
    for (size_t i = 2; i <= unc.size(); ++i) {
        if (i == unc.size() || isSeparator(unc[i])) {
            parts.push_back(part);
            part.clear();
        } else {
            part += unc[i];
        }
    }
    return parts;
}

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
