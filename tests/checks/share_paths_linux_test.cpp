#include <gtest/gtest.h>

#include "platform/network/unc_path.h"
#include "platform/process/environment.h"
#include "platform/text/utf8_path.h"
#include "support/temp_dir.h"
#include "this_machine_shares.h"

namespace plenvo::test {
namespace {

TEST(LocalPathOf, ThisMachinesSharesAndTheRest) {
    const std::string me = platform::computerName();
    auto lookup = lookupOf({{"Data", "/srv/data"}, {"Odd", "C:\\x"}});
    const auto at = [&](const std::string& p) { return platform::localPathOf(p, lookup); };
    EXPECT_EQ(at("\\\\" + me + "\\DATA\\PC'01\\"), std::filesystem::path("/srv/data/PC'01"));
    EXPECT_EQ(at("\\\\LOCALHOST\\data"), std::filesystem::path("/srv/data"));
    EXPECT_EQ(at("/var/backup"), std::filesystem::path("/var/backup"));
    for (const char* unreachable :
         {"", "D:\\Backup", "relative", "\\\\srv02\\x\\y", "\\\\localhost", "\\\\localhost\\",
          "\\\\localhost\\nothing\\x", "\\\\localhost\\odd", "\\\\localhost\\data\\..\\etc"})
        EXPECT_EQ(at(unreachable), std::nullopt) << unreachable;
}

TEST(LocalPathOf, ThisMachinesFoldersInAnyLetterCase) {
    TempDir dir;
    std::filesystem::create_directories(dir.path() / "Dept" / "PC01");
    auto lookup = lookupOf({{"Data", platform::utf8Of(dir.path())}});
    const auto at = [&](const std::string& p) { return platform::localPathOf(p, lookup); };
    EXPECT_EQ(at("\\\\localhost\\data\\dept\\pc01"), dir.path() / "Dept" / "PC01");
    EXPECT_EQ(at("\\\\localhost\\data\\dept\\pc02"), dir.path() / "Dept" / "pc02");
}

}  // namespace
}  // namespace plenvo::test
