#include "platform/network/folder_reach.h"

#include <map>

#include "platform/core/parallel.h"
#include "platform/files/file_system.h"
#include "platform/network/unc_path.h"
#include "platform/paths/windows_path.h"
#include "platform/text/text_file.h"
#include "platform/text/utf8_path.h"

namespace plenvo::platform {

FolderReach::FolderReach(ShareLookup& lookup, std::chrono::milliseconds limit)
    : lookup_(lookup), local_(lookup.drives(), limit), remote_(lookup.signIn(), limit) {}

std::string FolderReach::remoteServerOf(const std::string& path) const {
    const std::string server = lowerCase(serverOf(path));
    if (server.empty() || lookup_.isThisMachine(server) || lookup_.isSilent(server)) return {};
    return server;
}

template <typename Work>
std::optional<std::invoke_result_t<Work>> FolderReach::nearby(const std::string& path,
                                                              const std::filesystem::path& local,
                                                              Work work) {
    // A network drive of another server, or on Windows its UNC name itself.
    const std::string server = lowerCase(serverOf(path));
    const bool other = !server.empty() && !lookup_.isThisMachine(server);
    if (other) {
        // Asking for its shares signs in to the server, once a pass; on Windows
        // the folder calls then go as that user too.
        if (lookup_.signIn().forServer(server).usable()) lookup_.sharesOf(server);
        if (lookup_.isSilent(server)) return std::nullopt;
    }
    auto result = local_.run(local, std::move(work));
    if (!result && other) lookup_.markSilent(server);
    return result;
}

bool FolderReach::folderExists(const std::string& path) {
    if (const auto folder = localPathOf(path, lookup_))
        return nearby(path, *folder, [folder = *folder] { return platform::folderExists(folder); })
            .value_or(false);
    const std::string server = remoteServerOf(path);
    if (server.empty()) return false;
    const auto exists = remote_.folderExists(path);
    if (!exists) lookup_.markSilent(server);
    return exists.value_or(false);
}

std::optional<DriveValues> FolderReach::driveValues(const std::string& path) {
    if (const auto folder = localPathOf(path, lookup_))
        return nearby(path, *folder,
                      [folder = *folder, drives = lookup_.drives()] {
                          return driveValuesOf(folder, drives);
                      })
            .value_or(std::nullopt);
    const std::string server = remoteServerOf(path);
    if (server.empty()) return std::nullopt;
    return remote_.driveValues(path);
}

bool FolderReach::writeTextFile(const std::string& folder, const std::string& name,
                                const std::vector<std::string>& lines) {
    if (const auto local = localPathOf(folder, lookup_)) {
        const auto written = nearby(folder, *local, [file = *local / pathFromUtf8(name), lines] {
            try {
                // Readers come at any moment: never let them see half a file.
                TextWriter writer(file, TextWriter::Mode::replace);
                for (const auto& line : lines) writer.writeLine(line);
                writer.commit();
            } catch (const std::exception&) {
                // An old file may still stand; the disk is asked below.
            }
            return fileExists(file);
        });
        return written.value_or(false);
    }
    const std::string server = remoteServerOf(folder);
    if (server.empty()) return false;
    const std::string unc(withoutTrailingSeparators(folder));
    return remote_.writeTextFile(unc + "\\" + name, lines);
}

Reached<FileTail> FolderReach::readFileTail(const std::string& path, std::uint64_t limit) {
    if (const auto file = localPathOf(path, lookup_)) {
        auto read = nearby(path, *file,
                           [file = *file, limit] { return platform::readFileTail(file, limit); });
        if (!read) return {std::nullopt, true};
        return {std::move(*read), false};
    }
    const std::string server = remoteServerOf(path);
    if (server.empty()) return {std::nullopt, lookup_.isSilent(lowerCase(serverOf(path)))};
    auto read = remote_.readFileTail(path, limit);
    if (read.silent) lookup_.markSilent(server);
    return read;
}

Reached<std::vector<FolderEntry>> FolderReach::listFolder(const std::string& path) {
    if (const auto folder = localPathOf(path, lookup_)) {
        auto listed =
            nearby(path, *folder, [folder = *folder] { return listFolderEntries(folder); });
        if (!listed) return {std::nullopt, true};
        return {std::move(*listed), false};
    }
    const std::string server = remoteServerOf(path);
    if (server.empty()) return {std::nullopt, lookup_.isSilent(lowerCase(serverOf(path)))};
    auto listed = remote_.listFolder(path);
    if (listed.silent) lookup_.markSilent(server);
    return listed;
}

void reachEach(const std::vector<std::string>& paths, ShareLookup& lookup,
               const std::function<void(std::size_t, FolderReach&)>& work) {
    std::map<std::string, std::vector<std::size_t>> byServer;
    for (std::size_t i = 0; i < paths.size(); ++i)
        byServer[lowerCase(serverOf(paths[i]))].push_back(i);
    std::vector<const std::vector<std::size_t>*> groups;
    for (const auto& [server, indices] : byServer) groups.push_back(&indices);
    runAtOnce(groups.size(), kServersAtOnce, [&](std::size_t g) {
        FolderReach reach(lookup);
        for (const std::size_t i : *groups[g]) work(i, reach);
    });
}

}  // namespace plenvo::platform
