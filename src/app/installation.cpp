#include "app/installation.h"

#include <QDirIterator>
#include <QFile>

#include "platform/environment.h"
#include "platform/utf8_path.h"
#include "store/mng_database.h"

namespace plenvo::app {
namespace {

bool writeResource(const QString& resource, const std::filesystem::path& target) {
    QFile in(resource);
    if (!in.open(QIODevice::ReadOnly)) return false;
    QFile out(QString::fromStdString(platform::utf8Of(target)));
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    return out.write(in.readAll()) >= 0;
}

}  // namespace

bool installTo(const std::filesystem::path& folder, void (*say)(const std::string&)) {
    namespace fs = std::filesystem;
    bool ok = true;
    std::error_code ec;
    fs::create_directories(folder / "HTM" / "img", ec);
    fs::create_directories(folder / "HELP", ec);

    const fs::path self = platform::executablePath();
    const fs::path program = folder / "PlenvoBackupMng";
    if (!fs::exists(program) || !fs::equivalent(self, program, ec)) {
        fs::copy_file(self, program, fs::copy_options::overwrite_existing, ec);
        if (ec) {
            say("could not copy the program: " + ec.message());
            ok = false;
        }
    }

    try {
        say(store::installMngDatabase(folder / "Mng.mdb") ? "made Mng.mdb"
                                                          : "kept the existing Mng.mdb");
    } catch (const std::exception& e) {
        say(std::string("could not make Mng.mdb: ") + e.what());
        ok = false;
    }

    QDirIterator images(":/install/img");
    while (images.hasNext()) {
        const QString resource = images.next();
        ok &= writeResource(resource, folder / "HTM" / "img" /
                                          platform::pathFromUtf8(images.fileName().toStdString()));
    }
    ok &= writeResource(":/install/help/Plenvo Backup Manager Help.html",
                        folder / "HELP" / "Plenvo Backup Manager Help.html");
    say("installed in " + platform::utf8Of(folder));
    return ok;
}

}  // namespace plenvo::app
