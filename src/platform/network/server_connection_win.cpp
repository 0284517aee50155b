#include "platform/network/server_connection_win.h"

#include <winnetwk.h>

#include <map>
#include <mutex>

namespace plenvo::platform::win {
namespace {

struct Connections {
    std::mutex mutex;
    std::map<std::wstring, std::wstring> userByServer;  // server in lower case
};

// Never freed: a thread left waiting on a silent server may come back late.
Connections& connections() {
    static auto* known = new Connections;
    return *known;
}

std::wstring lowered(std::wstring text) {
    for (wchar_t& c : text)
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    return text;
}

}  // namespace

DWORD connectToServer(const std::wstring& server, const NetworkSignIn& given) {
    const NetworkSignIn signIn = given.forServer(utf8(server));
    if (!signIn.usable()) return NO_ERROR;
    const std::wstring user =
        wide(signIn.domain.empty() ? signIn.user : signIn.domain + "\\" + signIn.user);
    std::wstring ipc = L"\\\\" + server + L"\\IPC$";
    const std::wstring key = lowered(server);
    Connections& known = connections();
    bool replacing = false;
    {
        const std::lock_guard lock(known.mutex);
        const auto it = known.userByServer.find(key);
        if (it != known.userByServer.end() && it->second == user) return NO_ERROR;
        if (it != known.userByServer.end()) {
            known.userByServer.erase(it);
            replacing = true;
        }
    }
    // SmbAuth.conf changed: Windows keeps one account per server.
    if (replacing) ::WNetCancelConnection2W(ipc.c_str(), 0, TRUE);
    NETRESOURCEW resource{};
    resource.dwType = RESOURCETYPE_ANY;
    resource.lpRemoteName = ipc.data();
    std::wstring password = wide(signIn.password);
    DWORD error = ::WNetAddConnection2W(&resource, password.c_str(), user.c_str(), 0);
    ::SecureZeroMemory(password.data(), password.size() * sizeof(wchar_t));
    // The console user is connected already under another account: that one counts.
    if (error == ERROR_SESSION_CREDENTIAL_CONFLICT) return NO_ERROR;
    if (error == NO_ERROR) {
        const std::lock_guard lock(known.mutex);
        known.userByServer[key] = user;
    }
    return error;
}

bool isUnreachable(DWORD error) {
    switch (error) {
        case ERROR_BAD_NETPATH:
        case ERROR_REM_NOT_LIST:
        case ERROR_NETNAME_DELETED:
        case ERROR_UNEXP_NET_ERR:
        case ERROR_BAD_NET_RESP:
        case ERROR_SEM_TIMEOUT:
        case ERROR_NO_NETWORK:
        case ERROR_CONNECTION_REFUSED:
        case ERROR_NETWORK_UNREACHABLE:
        case ERROR_HOST_UNREACHABLE:
        case ERROR_PORT_UNREACHABLE:
        case ERROR_CONNECTION_ABORTED:
        case RPC_S_SERVER_UNAVAILABLE:
            return true;
        default:
            return false;
    }
}

}  // namespace plenvo::platform::win
