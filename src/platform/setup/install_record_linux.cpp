#include "platform/setup/install_record.h"

namespace plenvo::platform {

// Installed from a package or with --install: the program's folder is the base.
InstallRecord readInstallRecord() {
    return {};
}

std::string recordDataFolder(const std::filesystem::path&) {
    return "this system keeps no installation record";
}

std::string recordSharedFolder(const std::optional<std::filesystem::path>&) {
    return "this system keeps no installation record";
}

}  // namespace plenvo::platform
