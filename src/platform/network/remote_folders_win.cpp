#include <map>

#include "platform/core/bounded_access.h"
#include "platform/network/remote_folders.h"
#include "platform/network/server_connection_win.h"
#include "platform/network/share_list.h"
#include "platform/paths/windows_path.h"
#include "platform/text/text_file.h"
#include "platform/text/utf8_path.h"

namespace plenvo::platform {

// Windows reaches every server by its UNC name itself; what is left here is
// the sign-in and the time limit.
struct RemoteFolders::Session {
    // One thread per server: a silent one holds up none of the others.
    std::map<std::string, BoundedWorker> byServer;
};

namespace {

// The server of "\\server\share\...", empty for any other path and for a
// server without a share.
std::string serverWithShareOf(const std::string& unc) {
    return uncComponentsOf(unc).size() < 2 ? std::string() : serverOf(unc);
}

}  // namespace

RemoteFolders::RemoteFolders(NetworkSignIn signIn, std::chrono::milliseconds limit)
    : signIn_(std::move(signIn)), limit_(limit) {}

RemoteFolders::~RemoteFolders() = default;

RemoteFolders::Session& RemoteFolders::session() {
    if (!session_) session_ = std::make_unique<Session>();
    return *session_;
}

std::optional<bool> RemoteFolders::folderExists(const std::string& unc) {
    const std::string server = serverWithShareOf(unc);
    if (server.empty()) return false;
    BoundedWorker& worker = session().byServer.try_emplace(lowerCase(server), limit_).first->second;
    return worker
        .run([server = win::wide(server), path = pathFromUtf8(unc),
              signIn = signIn_]() -> std::optional<bool> {
            if (win::connectToServer(server, signIn) != NO_ERROR) return std::nullopt;
            const DWORD attributes = ::GetFileAttributesW(path.c_str());
            if (attributes != INVALID_FILE_ATTRIBUTES)
                return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            if (win::isUnreachable(::GetLastError())) return std::nullopt;
            return false;
        })
        .value_or(std::nullopt);
}

std::optional<DriveValues> RemoteFolders::driveValues(const std::string& unc) {
    const std::string server = serverWithShareOf(unc);
    if (server.empty()) return std::nullopt;
    BoundedWorker& worker = session().byServer.try_emplace(lowerCase(server), limit_).first->second;
    return worker
        .run([server = win::wide(server), path = pathFromUtf8(unc),
              signIn = signIn_]() -> std::optional<DriveValues> {
            if (win::connectToServer(server, signIn) != NO_ERROR) return std::nullopt;
            return driveValuesOf(path);
        })
        .value_or(std::nullopt);
}

bool RemoteFolders::writeTextFile(const std::string& unc, const std::vector<std::string>& lines) {
    const std::string server = serverWithShareOf(unc);
    if (server.empty()) return false;
    BoundedWorker& worker = session().byServer.try_emplace(lowerCase(server), limit_).first->second;
    return worker
        .run([server = win::wide(server), file = pathFromUtf8(unc), lines, signIn = signIn_] {
            if (win::connectToServer(server, signIn) != NO_ERROR) return false;
            try {
                TextWriter writer(file, TextWriter::Mode::replace);
                for (const auto& line : lines) writer.writeLine(line);
                writer.commit();
                return true;
            } catch (const std::exception&) {
                return false;
            }
        })
        .value_or(false);
}

Reached<FileTail> RemoteFolders::readFileTail(const std::string& unc, std::uint64_t limit) {
    const std::string server = serverWithShareOf(unc);
    if (server.empty()) return {};
    BoundedWorker& worker = session().byServer.try_emplace(lowerCase(server), limit_).first->second;
    const auto read = worker.run([server = win::wide(server), file = pathFromUtf8(unc), limit,
                                  signIn = signIn_]() -> std::optional<std::optional<FileTail>> {
        if (win::connectToServer(server, signIn) != NO_ERROR) return std::nullopt;
        return platform::readFileTail(file, limit);
    });
    if (!read || !*read) return {std::nullopt, true};
    return {std::move(**read), false};
}

Reached<std::vector<FolderEntry>> RemoteFolders::listFolder(const std::string& unc) {
    const std::string server = serverWithShareOf(unc);
    if (server.empty()) return {};
    BoundedWorker& worker = session().byServer.try_emplace(lowerCase(server), limit_).first->second;
    const auto listed =
        worker.run([server = win::wide(server), folder = pathFromUtf8(unc),
                    signIn = signIn_]() -> std::optional<std::optional<std::vector<FolderEntry>>> {
            if (win::connectToServer(server, signIn) != NO_ERROR) return std::nullopt;
            return listFolderEntries(folder);
        });
    if (!listed || !*listed) return {std::nullopt, true};
    return {std::move(**listed), false};
}

}  // namespace plenvo::platform
