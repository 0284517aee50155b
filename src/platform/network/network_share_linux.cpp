#include <sys/stat.h>
#include <sys/xattr.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <sstream>
#include <vector>

#include "platform/network/network_share.h"
#include "platform/process/detached_command.h"
#include "platform/text/utf8_path.h"

namespace plenvo::platform {

namespace {

// The folder a usershare of that name shares (of any user), or nullopt.
std::optional<std::string> sharedFolder(const std::string& net, const std::string& name) {
    const auto info =
        runBounded({net, "usershare", "info", "--long", name}, std::chrono::seconds(10));
    if (!info || info->exitCode != 0) return std::nullopt;
    std::istringstream lines(info->output);
    std::string line;
    while (std::getline(lines, line))
        if (line.starts_with("path=")) return line.substr(5);
    return std::nullopt;
}

// Runs Samba's net with the words given; its errors come on standard error,
// taken with the output, to be told.
std::optional<CommandResult> runNet(const std::string& net, std::vector<std::string> words) {
    std::vector<std::string> argv{"/bin/sh", "-c", "exec \"$0\" \"$@\" 2>&1", net};
    argv.insert(argv.end(), words.begin(), words.end());
    return runBounded(argv, std::chrono::seconds(10));
}

// The first line of what net said, or how it ended.
std::string netSaid(const CommandResult& result, const std::string& what) {
    std::string said = result.output.substr(0, result.output.find('\n'));
    return said.empty() ? what + " ended with " + std::to_string(result.exitCode) : said;
}

std::string sharePath(const std::filesystem::path& folder) {
    std::string path = utf8Of(folder);
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

bool sameFolder(const std::string& a, const std::string& b) {
    std::error_code ec;
    return a == b || std::filesystem::equivalent(a, b, ec);
}

}  // namespace

ShareOutcome addNetworkShare(const std::string& name, const std::filesystem::path& folder) {
    const std::string net = findProgram("net");
    if (net.empty()) return {ShareOutcome::Kind::failed, "Samba's net program is not installed"};
    const std::string path = sharePath(folder);
    if (const auto other = sharedFolder(net, name); other && !sameFolder(*other, path))
        return {ShareOutcome::Kind::sharesAnotherFolder, *other};
    // Full control for Everyone, Administrators, Users and SYSTEM; given as SIDs
    // because names would be looked up through a running smbd.
    // "net usershare add" replaces this folder's share of the same name, and the
    // call is waited for, so the share is never missing afterwards.
    const auto added =
        runNet(net, {"usershare", "add", name, path, "",
                     "S-1-1-0:F,S-1-5-32-544:F,S-1-5-32-545:F,S-1-5-18:F", "guest_ok=n"});
    if (!added) return {ShareOutcome::Kind::failed, "Samba's net program did not answer"};
    if (added->exitCode != 0)
        return {ShareOutcome::Kind::failed, netSaid(*added, "net usershare add")};
    return {};
}

UnshareOutcome removeNetworkShare(const std::string& name, const std::filesystem::path& folder) {
    const std::string net = findProgram("net");
    if (net.empty()) return {UnshareOutcome::Kind::failed, "Samba's net program is not installed"};
    const std::string path = sharePath(folder);
    const auto shared = sharedFolder(net, name);
    if (!shared) return {UnshareOutcome::Kind::none, {}};
    if (!sameFolder(*shared, path)) return {UnshareOutcome::Kind::sharesAnotherFolder, *shared};
    const auto removed = runNet(net, {"usershare", "delete", name});
    if (!removed) return {UnshareOutcome::Kind::failed, "Samba's net program did not answer"};
    if (removed->exitCode != 0)
        return {UnshareOutcome::Kind::failed, netSaid(*removed, "net usershare delete")};
    return {};
}

bool everybodyHasAccess(const std::filesystem::path& folder) {
    const bool defaultAcls = !findProgram("setfacl").empty();
    std::vector<std::filesystem::path> folders{folder};
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
         it.increment(ec))
        if (it->is_directory(ec) && !it->is_symlink(ec)) folders.push_back(it->path());
    if (ec) return false;
    for (const auto& f : folders) {
        struct stat st {};
        if (::lstat(f.c_str(), &st) != 0 || (st.st_mode & 0777) != 0777) return false;
        if (defaultAcls && ::getxattr(f.c_str(), "system.posix_acl_default", nullptr, 0) <= 0)
            return false;
    }
    return true;
}

void grantEverybodyFullAccess(const std::filesystem::path& folder) {
    // Once in place, new files take their rights from the folders' default
    // ACLs: a start need not walk every file agents left (100,000 and more).
    if (everybodyHasAccess(folder)) return;
    // Agents create files through the share as other users: the folders' default
    // ACLs let every later file be read, renamed and deleted by everybody.
    const std::string script =
        "chmod -R a+rwX \"$1\"; command -v setfacl >/dev/null && "
        "find \"$1\" -type d -exec setfacl -m d:u::rwx,d:g::rwx,d:o::rwx {} +";
    runDetached({"/bin/sh", "-c", script, "sh", utf8Of(folder)});
}

}  // namespace plenvo::platform
