#include "settings/pointer_file.h"

#include "platform/file_system.h"
#include "platform/text_file.h"
#include "platform/unc_path.h"

namespace plenvo::settings {

bool writePointerFile(const std::string& destination, const std::string& serverShareFolder) {
    const auto folder = platform::localPathOf(destination);
    if (!folder) return false;
    const auto file = *folder / "SRV.ini";
    try {
        // Agents read the file at any moment: never let them see half of it.
        platform::TextWriter writer(file, platform::TextWriter::Mode::replace);
        writer.writeLine("SVShareFol=" + serverShareFolder);
        writer.commit();
    } catch (const std::exception&) {
        // An old file may still stand; the caller asks the disk, not us.
    }
    return platform::fileExists(file);
}

}  // namespace plenvo::settings
