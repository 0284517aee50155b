#include <unistd.h>

#include <cstdlib>

#include "platform/process/environment.h"

namespace plenvo::platform {

std::optional<std::string> environmentValue(const char* name) {
    const char* value = std::getenv(name);
    if (!value) return std::nullopt;
    return std::string(value);
}

std::string computerName() {
    if (auto name = environmentValue("COMPUTERNAME"); name && !name->empty()) return *name;
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) != 0) return "localhost";
    return host;
}

std::string userProfileFolder() {
    if (auto profile = environmentValue("USERPROFILE"); profile && !profile->empty())
        return *profile;
    return environmentValue("HOME").value_or("/");
}

std::string specialFolder(SpecialFolder which) {
    if (which == SpecialFolder::allUsersStartup) return "/etc/xdg/autostart";
    if (auto config = environmentValue("XDG_CONFIG_HOME"); config && !config->empty())
        return *config + "/autostart";
    return environmentValue("HOME").value_or("/") + "/.config/autostart";
}

std::string workingFolderFromTemp(const std::optional<std::string>& temp) {
    if (!temp || temp->empty()) return "/tmp";
    const size_t at = temp->find("Temp");
    if (at == std::string::npos) return *temp;
    return temp->substr(0, at + 4);
}

std::filesystem::path executablePath() {
    std::error_code ec;
    auto path = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path() : path;
}

}  // namespace plenvo::platform
