#include "intake/error_codes.h"

#include <gtest/gtest.h>

namespace plenvo::intake {
namespace {

// The import's merge followed by the withdrawal of "14".
std::string imported(std::string_view current, std::string_view agent) {
    std::string list = mergedWithAgentCodes(current, agent);
    if (!hasCode(agent, "14") && hasCode(list, "14")) list = withoutCode(list, "14");
    return list;
}

TEST(ErrorCodes, ImportMergesAgentCodesAndWithdrawsOnly14) {
    EXPECT_EQ(imported("", "03,14"), "03,14");
    EXPECT_EQ(imported("15", "01"), "15,01");
    EXPECT_EQ(imported("15,01", "01"), "15,01");
    EXPECT_EQ(imported("03,14,15", "03"), "03,15");
    EXPECT_EQ(imported("14,08", ""), ",08");
    EXPECT_EQ(imported("08,14", ""), "08,");
    EXPECT_EQ(imported("08,14", "02"), "08,02");
    EXPECT_EQ(imported("", "01,01"), "01");
    EXPECT_EQ(imported("", "01,,02,01"), "01,02");
    EXPECT_EQ(imported("15", ""), "15");
}

TEST(ErrorCodes, AddAndWithdrawLeaveCommasAsTheyFall) {
    EXPECT_EQ(withCode("", "15"), "15");
    EXPECT_EQ(withCode("03", "15"), "03,15");
    EXPECT_EQ(withoutCode("15,08", "15"), ",08");
    EXPECT_EQ(withoutCode(",08", "08"), ",");
    EXPECT_EQ(withoutCode("07,15,07", "07"), ",15,");
}

}  // namespace
}  // namespace plenvo::intake
