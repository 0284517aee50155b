// Destination paths as agents report them: their parts, the share folder
// and where a UNC path lies on this machine.
//
// Input: line 1 the path, line 2 a tail; each further line "name|folder" is a
// share of every server, "type|source|mount point" a mounted file system.
#include <algorithm>
#include <vector>

#include "fuzz_support.h"
#include "intake/share_folder.h"
#include "platform/drives/drive_values_linux.h"
#include "platform/network/unc_path.h"
#include "platform/paths/windows_path.h"

using namespace plenvo;

namespace {

std::vector<std::string> split(std::string_view text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t at; (at = text.find(separator, start)) != std::string_view::npos; start = at + 1)
        parts.emplace_back(text.substr(start, at - start));
    parts.emplace_back(text.substr(start));
    return parts;
}

void checkPathRoutines(const std::string& original) {
    const std::string name = platform::lastComponentOf(original);
    FUZZ_CHECK(name.find_first_of("\\/") == std::string::npos);
    const std::string_view trimmed = platform::withoutTrailingSeparators(original);
    FUZZ_CHECK(trimmed.ends_with(name));

    const std::string parent = platform::parentOf(original);
    FUZZ_CHECK(trimmed.starts_with(parent));
    FUZZ_CHECK(parent.size() < original.size() || original.empty());
    if (!parent.empty())
        FUZZ_CHECK(!platform::isPathSeparator(parent.back()) || parent.size() == 1);

    const std::string server = platform::serverOf(original);
    FUZZ_CHECK(server.find_first_of("\\/") == std::string::npos);
    if (!server.empty()) FUZZ_CHECK(platform::uncComponentsOf(original).front() == server);
}

// Whether `result` lies in `folder`: the folder itself followed by plain names only.
bool lies(const std::filesystem::path& result, const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> r, f;
    for (const auto& part : result)
        if (!part.empty()) r.push_back(part);
    for (const auto& part : folder)
        if (!part.empty()) f.push_back(part);
    if (r.size() < f.size() || !std::equal(f.begin(), f.end(), r.begin())) return false;
    return std::none_of(r.begin() + f.size(), r.end(),
                        [](const auto& part) { return part == ".." || part == "."; });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto lines = split(fuzz::textOf(data, size), '\n');
    const std::string& path = lines[0];
    const std::string tail = lines.size() > 1 ? lines[1] : "";
    checkPathRoutines(path);

    // A share of this machine in a real folder, so that names are matched in any case.
    static const std::filesystem::path backup = [] {
        const auto folder = fuzz::scratch() / "srv" / "bk";
        std::filesystem::create_directories(folder / "PC05" / "Sub");
        fuzz::writeBytes(folder / "Log.txt", "log");
        return folder;
    }();
    std::vector<platform::ShareEntry> shares{{"Backup", backup.string()}};
    std::vector<platform::MountEntry> mounts;
    for (size_t i = 2; i < lines.size(); ++i) {
        const auto fields = split(lines[i], '|');
        if (fields.size() == 2) shares.push_back({fields[0], fields[1]});
        if (fields.size() == 3) mounts.push_back({fields[1], fields[2], fields[0]});
    }
    // A server named "silent" does not answer.
    platform::ShareLookup lookup(
        [&](const std::string& server) -> std::optional<std::vector<platform::ShareEntry>> {
            if (platform::lowerCase(server) == "silent") return std::nullopt;
            return shares;
        },
        platform::localDrivesOf(mounts));

    try {
        const std::string folder =
            intake::shareFolderOf(platform::serverOf(path), path, tail, lookup);
        FUZZ_CHECK(folder.empty() || folder.ends_with(tail));
    } catch (const intake::NoSharesError&) {
        FUZZ_CHECK(platform::lowerCase(platform::serverOf(path)) == "silent");
    }

    // Never climbs out of the share or the mount it goes through.
    const auto local = platform::localPathOf(path, lookup);
    // A "/" then a "\" starts a path of this machine, as a "/" alone does.
    const bool unc = path.size() > 1 && (path[1] == '\\' || path[1] == '/') &&
                     (path[0] == '\\' || path[1] == '/');
    if (local && unc) {
        bool inside = false;
        for (const auto& share : shares) inside = inside || lies(*local, share.path);
        for (const auto& mount : mounts) inside = inside || lies(*local, mount.mountPoint);
        if (!inside) std::fprintf(stderr, "outside every share: %s\n", local->c_str());
        FUZZ_CHECK(inside);
    }
    return 0;
}
