#include "platform/network/remote_folders.h"
#include "platform/network/smb/smb_client_linux.h"
#include "platform/text/text_file.h"

namespace plenvo::platform {

struct RemoteFolders::Session {
    Session(const NetworkSignIn& signIn, std::chrono::milliseconds limit) : client(signIn, limit) {}
    SmbClient client;
};

RemoteFolders::RemoteFolders(NetworkSignIn signIn, std::chrono::milliseconds limit)
    : signIn_(std::move(signIn)), limit_(limit) {}

RemoteFolders::~RemoteFolders() = default;

RemoteFolders::Session& RemoteFolders::session() {
    if (!session_) session_ = std::make_unique<Session>(signIn_, limit_);
    return *session_;
}

std::optional<bool> RemoteFolders::folderExists(const std::string& unc) {
    return session().client.folderExists(unc);
}

std::optional<DriveValues> RemoteFolders::driveValues(const std::string& unc) {
    return session().client.driveValues(unc);
}

bool RemoteFolders::writeTextFile(const std::string& unc, const std::vector<std::string>& lines) {
    std::string bytes;
    for (const auto& line : lines) bytes += encodeCp932(line) + "\r\n";
    return session().client.writeTextFile(unc, bytes);
}

Reached<FileTail> RemoteFolders::readFileTail(const std::string& unc, std::uint64_t limit) {
    return session().client.readFileTail(unc, limit);
}

Reached<std::vector<FolderEntry>> RemoteFolders::listFolder(const std::string& unc) {
    return session().client.listFolder(unc);
}

}  // namespace plenvo::platform
