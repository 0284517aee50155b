#include "app/installation.h"

#include <fstream>

#include "app/data_folder.h"
#include "app/embedded_files.h"
#include "app/share_routines.h"
#include "platform/files/file_system.h"
#include "platform/process/environment.h"
#include "platform/setup/install_record.h"
#include "platform/text/utf8_path.h"
#include "store/mng_database.h"

namespace plenvo::app {
namespace {

namespace fs = std::filesystem;

bool writeFile(const fs::path& target, std::string_view bytes) {
    std::ofstream out(target, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return !out.fail();
}

// Where a built-in file goes: the page images beside the pages, the help file in HELP.
fs::path placeOf(const fs::path& folder, std::string_view name) {
    constexpr std::string_view kImages = "img/", kHelp = "help/";
    if (name.starts_with(kImages))
        return folder / "HTM" / "img" / platform::pathFromUtf8(name.substr(kImages.size()));
    if (name.starts_with(kHelp))
        return folder / "HELP" / platform::pathFromUtf8(name.substr(kHelp.size()));
    return folder / platform::pathFromUtf8(name);
}

// Mng.mdb, the page images and the help file.
bool layOutData(const fs::path& folder, void (*say)(const std::string&)) {
    bool ok = true;
    std::error_code ec;
    fs::create_directories(folder / "HTM" / "img", ec);
    fs::create_directories(folder / "HELP", ec);
    try {
        say(store::installMngDatabase(folder / "Mng.mdb") ? "made Mng.mdb"
                                                          : "kept the existing Mng.mdb");
    } catch (const std::exception& e) {
        say(std::string("could not make Mng.mdb: ") + e.what());
        ok = false;
    }
    for (const EmbeddedFile& file : embeddedFiles()) {
        const fs::path target = placeOf(folder, file.name);
        if (!writeFile(target, file.bytes)) {
            say("could not write " + platform::utf8Of(target));
            ok = false;
        }
    }
    return ok;
}

}  // namespace

bool installTo(const fs::path& folder, void (*say)(const std::string&)) {
    bool ok = true;
    std::error_code ec;
    fs::create_directories(folder, ec);
    const fs::path self = platform::executablePath();
    const fs::path program = folder / self.filename();
    if (!fs::exists(program) || !fs::equivalent(self, program, ec)) {
        fs::copy_file(self, program, fs::copy_options::overwrite_existing, ec);
        if (ec) {
            say("could not copy the program: " + ec.message());
            ok = false;
        }
    }
    ok = layOutData(folder, say) && ok;
    say("installed in " + platform::utf8Of(folder));
    return ok;
}

bool installDataTo(const fs::path& dataFolder, void (*say)(const std::string&)) {
    const DataPlace place = placeData(platform::executablePath().parent_path(), dataFolder, say);
    bool ok = layOutData(place.folder, say);
    const platform::BaseFolder base(place.folder);
    makeShareTree(base);
    if (!platform::folderExists(base.at("\\OrvShare\\RST"))) {
        say("could not make " + platform::utf8Of(base.at("\\OrvShare\\RST")));
        ok = false;
    }
    // Recorded only when whole: the program would rather go on with its own folder.
    if (!ok) return false;
    if (const std::string refused = platform::recordDataFolder(place.folder); !refused.empty()) {
        say(refused);
        return false;
    }
    say("the data lies in " + platform::utf8Of(place.folder));
    return true;
}

}  // namespace plenvo::app
