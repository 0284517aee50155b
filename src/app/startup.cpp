#include "app/startup.h"

#include "platform/process/environment.h"
#include "platform/setup/install_record.h"
#include "platform/text/utf8_path.h"

namespace plenvo::app {

StartupValues collectStartupValues(const std::string& version) {
    StartupValues v;
    v.version = version;
    v.userProfileFolder = platform::userProfileFolder();
    v.computerName = platform::computerName();
    v.workingFolder = platform::workingFolderFromTemp(platform::environmentValue("TEMP"));
    v.startupFolder = platform::specialFolder(platform::SpecialFolder::startup);
    v.allUsersStartupFolder = platform::specialFolder(platform::SpecialFolder::allUsersStartup);
    // The all-users folder may name the profile by its variable.
    for (size_t at = 0;
         (at = v.allUsersStartupFolder.find("%USERPROFILE%", at)) != std::string::npos;
         at += v.userProfileFolder.size())
        v.allUsersStartupFolder.replace(at, 13, v.userProfileFolder);
    v.serverShareFolder = "\\\\" + v.computerName + "\\OrvShare$";
    v.program = platform::utf8Of(platform::executablePath());
    if (const auto shared = platform::readInstallRecord().sharedFolder)
        v.installerShare = platform::utf8Of(*shared);
    return v;
}

}  // namespace plenvo::app
