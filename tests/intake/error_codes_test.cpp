#include "intake/error_codes.h"

#include <gtest/gtest.h>

namespace plenvo::intake {
namespace {

std::string imported(std::string_view current, std::string_view agent) {
    return importedCodes(current, agentCodes(agent));
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

TEST(ErrorCodes, AgentsGiveTwoDigitCodesOnlyEachOnce) {
    const AgentCodes agent = agentCodes("01,ABCDEF,1,001,0x,,02,01, 03,０４,");
    EXPECT_EQ(agent.codes, (std::vector<std::string>{"01", "02"}));
    EXPECT_EQ(agent.dropped, 6u);
    EXPECT_EQ(imported("15", "ABCDEF,GHIJKL,07"), "15,07");
    // "14" inside a piece that is no code does not keep a stored "14".
    EXPECT_EQ(imported("08,14", "X14"), "08,");
}

TEST(ErrorCodes, ListsStayBoundedAndAStoredOversizeListNeverGrows) {
    std::string all;
    for (int i = 0; i < 100; ++i)
        all = withCode(all, std::string{char('0' + i / 10), char('0' + i % 10)});
    ASSERT_EQ(all.size(), kMaxCodeListLength);
    EXPECT_EQ(imported("", all + ",ABCDEF," + all), all);

    // A list an earlier version stored from pieces that are no codes stays as it
    // is; codes the checks put on it stay too.
    std::string junk;
    for (int i = 0; i < 1000; ++i)
        junk = withCode(junk, std::string{'Q', char('A' + i % 26), char('A' + i / 26 % 26)});
    EXPECT_EQ(imported(junk, "03,05"), junk);
    EXPECT_EQ(imported(withCode(junk, "08"), "03"), junk + ",08");
    const std::string nearlyFull(kMaxCodeListLength - 2, 'x');
    EXPECT_EQ(imported(nearlyFull, "03"), nearlyFull);
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
