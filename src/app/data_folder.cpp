#include "app/data_folder.h"

#include <array>
#include <system_error>
#include <vector>

#include "platform/text/utf8_path.h"

namespace plenvo::app {

namespace {

namespace fs = std::filesystem;

// Mng.mdb's journal goes with it: a journal left behind would undo nothing.
constexpr std::array<const char*, 8> kDataEntries = {
    "Mng.mdb",  "Mng.mdb-journal", "Mng.mdb-wal", "Mng.mdb-shm",
    "Mail.ini", "SmbAuth.conf",    "OrvShare",    "HTM"};

bool present(const fs::path& entry) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(entry, ec));
}

}  // namespace

DataPlace placeData(const fs::path& programFolder, const fs::path& dataFolder, const Say& say) {
    std::error_code ec;
    fs::create_directories(dataFolder, ec);
    if (!present(programFolder / "Mng.mdb") || fs::equivalent(programFolder, dataFolder, ec))
        return {dataFolder, DataPlace::Older::none};
    const std::string from = platform::utf8Of(programFolder), to = platform::utf8Of(dataFolder);
    if (present(dataFolder / "Mng.mdb")) {
        say("the data in " + to + " is used; the older data in " + from + " is left as it is");
        return {dataFolder, DataPlace::Older::leftBeside};
    }
    std::vector<const char*> moved;
    for (const char* name : kDataEntries) {
        if (!present(programFolder / name)) continue;
        std::error_code failed = present(dataFolder / name)
                                     ? std::make_error_code(std::errc::file_exists)
                                     : std::error_code();
        if (!failed) fs::rename(programFolder / name, dataFolder / name, failed);
        if (!failed) {
            moved.push_back(name);
            continue;
        }
        std::string stranded;
        for (auto back = moved.rbegin(); back != moved.rend(); ++back) {
            fs::rename(dataFolder / *back, programFolder / *back, ec);
            if (ec) stranded += std::string(stranded.empty() ? "" : ", ") + *back;
        }
        say("could not move " + std::string(name) + " to " + to + " (" + failed.message() +
            "): the data stays in " + from +
            (stranded.empty() ? "" : "; " + stranded + " could not be put back from " + to));
        return {programFolder, DataPlace::Older::usedInPlace};
    }
    say("moved the older installation's data from " + from + " to " + to);
    return {dataFolder, DataPlace::Older::moved};
}

}  // namespace plenvo::app
