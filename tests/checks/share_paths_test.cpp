#include <gtest/gtest.h>

#include "intake/share_folder.h"
#include "platform/network/share_list.h"
#include "this_machine_shares.h"

namespace plenvo::test {
namespace {

using platform::ShareEntry;
using platform::ShareLookup;

TEST(ShareFolder, FindsTheShareWithoutLetterCase) {
    auto windows = ShareLookup([](const std::string&) {
        return std::vector<ShareEntry>{{"IPC$", ""}, {"data", "D:\\Backup"}, {"root", "E:\\"}};
    });
    std::string sharePath = "\\\\srv01\\DATA";
    EXPECT_EQ(intake::shareFolderOf("srv01", sharePath, "", windows), "D:\\Backup\\");
    EXPECT_EQ(intake::shareFolderOf("srv01", "\\\\srv01\\root\\", "x", windows), "E:\\x");
    EXPECT_EQ(intake::shareFolderOf("srv01", "\\\\srv01/root//", "x", windows), "E:\\x");
    std::string none = "\\\\srv01\\none";
    EXPECT_EQ(intake::shareFolderOf("srv01", none, "", windows), "");

    auto samba = lookupOf({{"Data", "/srv/data/"}});
    std::string local = "\\\\localhost\\data";
    EXPECT_EQ(intake::shareFolderOf("LocalHost", local, "", samba), "/srv/data/");

    auto silent = ShareLookup([](const std::string&) { return std::vector<ShareEntry>{}; });
    EXPECT_THROW(intake::shareFolderOf("gone", sharePath, "", silent), intake::NoSharesError);
}

}  // namespace
}  // namespace plenvo::test
