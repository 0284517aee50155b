#include "platform/network/share_list_win.h"

#include "platform/core/bounded_access.h"
#include "platform/network/server_connection_win.h"
#include "platform/process/environment.h"
#include "platform/win/win32_win.h"

namespace plenvo::platform {
namespace {

using namespace std::chrono_literals;

// A server that does not answer within this time has no shares for us.
constexpr auto kServerLimit = 5s;

struct Answer {
    NET_API_STATUS status = NERR_Success;
    std::vector<ShareEntry> shares;
};

std::string textOf(const wchar_t* text) {
    return text ? win::utf8(text) : std::string();
}

// Every share at one level, page after page.
Answer listed(const ShareEnumeration& enumerate, const wchar_t* server, DWORD level) {
    Answer answer;
    DWORD resume = 0;
    for (;;) {
        BYTE* buffer = nullptr;
        DWORD read = 0, total = 0;
        answer.status = enumerate(server, level, &buffer, &read, &total, &resume);
        const bool given = answer.status == NERR_Success || answer.status == ERROR_MORE_DATA;
        for (DWORD i = 0; given && buffer && i < read; ++i) {
            if (level == 502) {
                const auto& share = reinterpret_cast<const SHARE_INFO_502*>(buffer)[i];
                answer.shares.push_back({textOf(share.shi502_netname), textOf(share.shi502_path)});
            } else {
                const auto& share = reinterpret_cast<const SHARE_INFO_1*>(buffer)[i];
                answer.shares.push_back({textOf(share.shi1_netname), {}});
            }
        }
        if (buffer) ::NetApiBufferFree(buffer);
        if (answer.status != ERROR_MORE_DATA) return answer;
        if (read == 0) {
            answer.status = NERR_Success;  // nothing more came: what there is counts
            return answer;
        }
    }
}

}  // namespace

bool isThisMachine(const std::string& server) {
    const std::string name = lowerCase(server);
    return name == "localhost" || name == lowerCase(computerName());
}

std::optional<std::vector<ShareEntry>> sharesThrough(const ShareEnumeration& enumerate,
                                                     const std::string& server,
                                                     const NetworkSignIn& signIn,
                                                     std::chrono::milliseconds limit) {
    // The thread may be left waiting on a silent server: it holds copies only.
    BoundedWorker worker(limit);
    auto answer = worker.run([enumerate, name = win::wide(server), signIn]() -> Answer {
        const wchar_t* asked = name.empty() ? nullptr : name.c_str();
        // A sign-in refused leaves the console user's own account to ask with.
        if (asked)
            if (const DWORD error = win::connectToServer(name, signIn); win::isUnreachable(error))
                return {error, {}};
        Answer withFolders = listed(enumerate, asked, 502);
        if (withFolders.status == NERR_Success || win::isUnreachable(withFolders.status))
            return withFolders;
        return listed(enumerate, asked, 1);
    });
    if (!answer || win::isUnreachable(answer->status)) return std::nullopt;
    if (answer->status != NERR_Success) return std::vector<ShareEntry>{};
    return std::move(answer->shares);
}

std::optional<std::vector<ShareEntry>> enumerateSharesOrSilence(const std::string& server,
                                                                const NetworkSignIn& signIn) {
    const ShareEnumeration system = [](const wchar_t* name, DWORD level, BYTE** buffer, DWORD* read,
                                       DWORD* total, DWORD* resume) {
        return ::NetShareEnum(const_cast<wchar_t*>(name), level, buffer, MAX_PREFERRED_LENGTH, read,
                              total, resume);
    };
    // This machine's own are asked without the network.
    return sharesThrough(system, isThisMachine(server) ? std::string() : server, signIn,
                         kServerLimit);
}

}  // namespace plenvo::platform
