#include "platform/network/share_list_win.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/network/folder_reach.h"
#include "platform/network/unc_path.h"
#include "platform/process/environment.h"
#include "platform/text/utf8_path.h"

namespace plenvo::platform {
namespace {

using namespace std::chrono_literals;
using std::filesystem::path;

// A server as NetShareEnum shows it, standing in for the system's: Wine's
// only says "not supported". It outlives a call that was given up on.
struct FakeServer {
    std::vector<std::pair<std::wstring, std::wstring>> shares;  // name, folder
    NET_API_STATUS at502 = NERR_Success;
    NET_API_STATUS at1 = NERR_Success;
    DWORD perPage = 100;
    std::atomic<bool> hang = false;
    std::atomic<bool> returned = false;
    std::vector<std::pair<std::wstring, DWORD>> asked;  // server ("" for this machine), level
};

ShareEnumeration enumerationOf(const std::shared_ptr<FakeServer>& server) {
    return [server](const wchar_t* name, DWORD level, BYTE** buffer, DWORD* read, DWORD* total,
                    DWORD* resume) -> NET_API_STATUS {
        server->asked.emplace_back(name ? name : L"", level);
        while (server->hang) std::this_thread::sleep_for(5ms);
        server->returned = true;
        const NET_API_STATUS refusal = level == 502 ? server->at502 : server->at1;
        if (refusal != NERR_Success) return refusal;
        const DWORD first = *resume;
        const DWORD count =
            std::min<DWORD>(server->perPage, static_cast<DWORD>(server->shares.size()) - first);
        const size_t size = level == 502 ? sizeof(SHARE_INFO_502) : sizeof(SHARE_INFO_1);
        ::NetApiBufferAllocate(static_cast<DWORD>(size * count), reinterpret_cast<void**>(buffer));
        ZeroMemory(*buffer, size * count);
        for (DWORD i = 0; i < count; ++i) {
            auto& [shareName, folder] = server->shares[first + i];
            if (level == 502) {
                auto& entry = reinterpret_cast<SHARE_INFO_502*>(*buffer)[i];
                entry.shi502_netname = shareName.data();
                entry.shi502_path = folder.empty() ? nullptr : folder.data();
            } else {
                reinterpret_cast<SHARE_INFO_1*>(*buffer)[i].shi1_netname = shareName.data();
            }
        }
        *read = count;
        *total = static_cast<DWORD>(server->shares.size());
        *resume = first + count;
        return *resume < *total ? ERROR_MORE_DATA : NERR_Success;
    };
}

std::shared_ptr<FakeServer> serverWith(std::vector<std::pair<std::wstring, std::wstring>> shares) {
    auto server = std::make_shared<FakeServer>();
    server->shares = std::move(shares);
    return server;
}

std::vector<std::pair<std::string, std::string>> namesAndFolders(
    const std::vector<ShareEntry>& shares) {
    std::vector<std::pair<std::string, std::string>> out;
    for (const auto& share : shares) out.emplace_back(share.name, share.path);
    return out;
}

TEST(ShareEnumeration, FoldersComePageByPageInTheServersOrder) {
    auto server = serverWith({{L"data", L"D:\\Backups"}, {L"IPC$", L""}, {L"日本", L"E:\\日本"}});
    server->perPage = 2;
    const auto shares = sharesThrough(enumerationOf(server), "srv01", {}, 5s);
    ASSERT_TRUE(shares);
    EXPECT_EQ(namesAndFolders(*shares),
              (std::vector<std::pair<std::string, std::string>>{
                  {"data", "D:\\Backups"}, {"IPC$", ""}, {"日本", "E:\\日本"}}));
    // This machine's own are asked without a server name.
    ASSERT_TRUE(sharesThrough(enumerationOf(server), "", {}, 5s));
    EXPECT_EQ(server->asked, (std::vector<std::pair<std::wstring, DWORD>>{
                                 {L"srv01", 502}, {L"srv01", 502}, {L"", 502}, {L"", 502}}));
}

TEST(ShareEnumeration, WithoutTheRightToSeeFoldersTheNamesAloneAndARefusalIsAnAnswer) {
    auto server = serverWith({{L"data", L"D:\\Backups"}, {L"root", L"E:\\"}});
    server->at502 = ERROR_ACCESS_DENIED;
    const auto names = sharesThrough(enumerationOf(server), "srv01", {}, 5s);
    ASSERT_TRUE(names);
    EXPECT_EQ(namesAndFolders(*names),
              (std::vector<std::pair<std::string, std::string>>{{"data", ""}, {"root", ""}}));

    server->at1 = ERROR_ACCESS_DENIED;
    const auto none = sharesThrough(enumerationOf(server), "srv01", {}, 5s);
    ASSERT_TRUE(none);
    EXPECT_TRUE(none->empty());
}

TEST(ShareEnumeration, AServerThatCannotBeReachedOrNeverAnswersIsSilence) {
    for (const NET_API_STATUS unreachable : {ERROR_BAD_NETPATH, RPC_S_SERVER_UNAVAILABLE}) {
        auto server = serverWith({{L"data", L"D:\\"}});
        server->at502 = unreachable;
        EXPECT_EQ(sharesThrough(enumerationOf(server), "gone", {}, 5s), std::nullopt);
        EXPECT_EQ(server->asked.size(), 1u) << "no second level for a server that is not there";
    }

    auto silent = serverWith({{L"data", L"D:\\"}});
    silent->hang = true;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(sharesThrough(enumerationOf(silent), "silent", {}, 200ms), std::nullopt);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    // This machine answers even where the system cannot list its shares (Wine).
    EXPECT_TRUE(enumerateSharesOrSilence("LocalHost"));
    // The call given up on ends later on what it holds itself.
    silent->hang = false;
    for (int i = 0; i < 400 && !silent->returned; ++i) std::this_thread::sleep_for(5ms);
    EXPECT_TRUE(silent->returned);
}

TEST(LocalPathOf, ThisMachinesSharesReachTheirFoldersAndOtherSharesTheirUncNames) {
    std::atomic<int> othersAsked = 0;
    ShareLookup lookup([&](const std::string& server) -> std::optional<std::vector<ShareEntry>> {
        if (!isThisMachine(server)) ++othersAsked;
        return std::vector<ShareEntry>{{"Data", "D:\\Backups\\"}, {"Names", ""}};
    });
    const auto at = [&](const std::string& p) { return localPathOf(p, lookup); };
    EXPECT_EQ(at("\\\\" + computerName() + "\\DATA\\PC'01\\"), path("D:\\Backups\\PC'01"));
    EXPECT_EQ(at("\\\\localhost\\data"), path("D:\\Backups\\"));
    // Without a folder (listed by name alone) or not listed: through the system's own client.
    EXPECT_EQ(at("\\\\localhost\\names\\x"), path("\\\\localhost\\names\\x"));
    EXPECT_EQ(at("\\\\localhost\\other"), path("\\\\localhost\\other\\"));
    EXPECT_EQ(at("//srv02/Back Up/./日本/"), pathFromUtf8("\\\\srv02\\Back Up\\日本"));
    EXPECT_EQ(at("d:/Backups"), path("d:/Backups"));
    for (const char* nowhere : {"", "relative", "\\Backups", "D:Backups", "\\\\localhost",
                                "\\\\localhost\\", "\\\\srv02\\x\\..\\..\\y",
                                "\\\\localhost\\data\\..\\etc", "\\\\?\\C:\\x", "\\\\.\\pipe\\x"})
        EXPECT_EQ(at(nowhere), std::nullopt) << nowhere;
    EXPECT_EQ(othersAsked, 0) << "another server's shares are not needed to reach it";
}

TEST(FolderReach, AServerThatCannotBeSignedInToIsSilentForThePass) {
    NetworkSignIn signIn;
    signIn.user = "backup";
    signIn.password = "secret";
    ShareLookup lookup(signIn);
    FolderReach reach(lookup);
    // A name that never resolves (nor has Wine any network to sign in on).
    EXPECT_FALSE(reach.folderExists("\\\\nobody.invalid\\Backup\\PC01"));
    EXPECT_TRUE(lookup.isSilent("NOBODY.invalid"));
    EXPECT_FALSE(reach.driveValues("\\\\nobody.invalid\\Backup\\"));
    EXPECT_FALSE(reach.writeTextFile("\\\\nobody.invalid\\Backup\\PC01", "SRV.ini", {"x"}));
}

}  // namespace
}  // namespace plenvo::platform
