#include "settings/pointer_file.h"

#include "platform/file_system.h"
#include "platform/text_file.h"
#include "platform/unc_path.h"

namespace plenvo::settings {

bool writePointerFile(const std::string& destination, const std::string& serverShareFolder,
                      platform::BoundedFileAccess& access) {
    const auto folder = platform::localPathOf(destination);
    if (!folder) return false;
    const auto written =
        access.run(*folder / "SRV.ini",
                   [file = *folder / "SRV.ini", line = "SVShareFol=" + serverShareFolder] {
                       try {
                           // Agents read the file at any moment: never let them see half of it.
                           platform::TextWriter writer(file, platform::TextWriter::Mode::replace);
                           writer.writeLine(line);
                           writer.commit();
                       } catch (const std::exception&) {
                           // An old file may still stand; the disk is asked below.
                       }
                       return platform::fileExists(file);
                   });
    return written.value_or(false);
}

}  // namespace plenvo::settings
