#include <gtest/gtest.h>

#include "app/share_path.h"
#include "platform/network/share_list.h"

namespace plenvo::test {
namespace {

using platform::ShareEntry;
using platform::ShareLookup;

ShareLookup lookupOf(std::vector<ShareEntry> local) {
    return ShareLookup([=](const std::string& server) {
        return platform::isThisMachine(server) ? local : std::vector<ShareEntry>{};
    });
}

TEST(SharePathGet, FindsTheShareWithoutLetterCase) {
    auto windows = ShareLookup([](const std::string&) {
        return std::vector<ShareEntry>{{"IPC$", ""}, {"data", "D:\\Backup"}, {"root", "E:\\"}};
    });
    std::string sharePath = "\\\\srv01\\DATA";
    EXPECT_EQ(app::SharePathGet("srv01", sharePath, "", windows), "D:\\Backup\\");
    std::string root = "\\\\srv01\\root\\";
    EXPECT_EQ(app::SharePathGet("srv01", root, "x", windows), "E:\\x");
    EXPECT_EQ(root, "\\\\srv01\\root");
    std::string none = "\\\\srv01\\none";
    EXPECT_EQ(app::SharePathGet("srv01", none, "", windows), "");

    auto samba = lookupOf({{"Data", "/srv/data/"}});
    std::string local = "\\\\localhost\\data";
    EXPECT_EQ(app::SharePathGet("LocalHost", local, "", samba), "/srv/data/");

    auto silent = ShareLookup([](const std::string&) { return std::vector<ShareEntry>{}; });
    EXPECT_THROW(app::SharePathGet("gone", sharePath, "", silent), app::NoSharesError);
}

}  // namespace
}  // namespace plenvo::test
