#include "platform/credentials/network_sign_in.h"

#include <algorithm>
#include <optional>

#include "platform/core/ascii_case.h"
#include "platform/credentials/secret_file.h"
#include "platform/paths/windows_path.h"

namespace plenvo::platform {

namespace {

constexpr const char* kTopic = "SmbAuth.conf";
constexpr std::size_t kMaxBytes = 64 * 1024;  // a few lines; anything larger is not one

}  // namespace

bool NetworkSignIn::usable() const {
    return !user.empty();
}

NetworkSignIn NetworkSignIn::forServer(std::string_view server) const {
    if (!onlyServers || onlyServers->contains(lowerCase(std::string(server)))) return *this;
    NetworkSignIn none;
    none.onlyServers = onlyServers;
    return none;
}

NetworkSignIn offeredOnlyToServersOf(NetworkSignIn signIn,
                                     const std::vector<std::string>& destinations) {
    std::set<std::string> servers;
    for (const std::string& destination : destinations)
        if (const std::string server = serverOf(destination); !server.empty())
            servers.insert(lowerCase(server));
    signIn.onlyServers = std::move(servers);
    return signIn;
}

NetworkSignIn parseNetworkSignIn(std::string_view text) {
    std::optional<std::string> user;
    std::string password, domain;
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        const auto equals = line.find('=');
        if (equals == std::string_view::npos) continue;
        const std::string_view key = trimmedBlanks(line.substr(0, equals));
        std::string_view value = line.substr(equals + 1);
        // Like smbclient: blanks after "=" go, a password keeps the rest as it is.
        value.remove_prefix(std::min(value.find_first_not_of(" \t"), value.size()));
        if (sameIgnoringAsciiCase(key, "password"))
            password = value;
        else if (sameIgnoringAsciiCase(key, "username"))
            user = std::string(trimmedBlanks(value));
        else if (sameIgnoringAsciiCase(key, "domain"))
            domain = trimmedBlanks(value);
    }

    NetworkSignIn signIn;
    signIn.password = password;
    signIn.domain = domain;
    if (user) {
        // The user name is read last and wins over the other lines, as in smbclient.
        std::string name = *user;
        if (const auto percent = name.find('%'); percent != std::string::npos) {
            signIn.password = name.substr(percent + 1);
            name.erase(percent);
        }
        if (name.find('@') != std::string::npos) {
            signIn.domain.clear();
        } else if (const auto slash = name.find_first_of("\\/"); slash != std::string::npos) {
            signIn.domain = name.substr(0, slash);
            name.erase(0, slash + 1);
        }
        signIn.user = name;
    }
    return signIn;
}

NetworkSignIn loadNetworkSignIn(const std::filesystem::path& authFile, FailureLog& failures) {
    const SecretFile file = readSecretFile(authFile, kMaxBytes);
    if (!file.refusal.empty()) failures.report(kTopic, file.refusal);
    if (!file.text) return {};
    NetworkSignIn signIn = parseNetworkSignIn(*file.text);
    signIn.authFile = authFile;
    return signIn;
}

}  // namespace plenvo::platform
