#include "intake/result_file.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace plenvo::intake {
namespace {

size_t keyIndex(std::string_view field) {
    for (size_t k = 0; k < kResultKeyCount; ++k)
        if (kResultKeys[k].field == field) return k;
    throw std::out_of_range(std::string(field));
}

ParsedReport parse(std::initializer_list<std::string_view> lines) {
    ParsedReport report;
    for (auto line : lines) matchLine(line, report);
    return report;
}

std::string textOf(const ParsedReport& r, std::string_view field) {
    const auto* s = r.text(keyIndex(field));
    return s ? *s : "<none>";
}

TEST(ResultKeys, ShorterKeysGiveWayToTheLongerOnes) {
    auto r = parse({"RmtComnm=PC02"});
    EXPECT_EQ(textOf(r, "RmtComnm"), "PC02");
    EXPECT_EQ(textOf(r, "ComNM"), "<none>");

    r = parse({"RmtComNM=PC02"});  // holds "ComNM=" but not "RmtComnm="
    EXPECT_EQ(textOf(r, "ComNM"), "PC02");
    EXPECT_EQ(textOf(r, "RmtComnm"), "<none>");

    r = parse({"RepSWFav=1", "ToFavSz=2048"});
    EXPECT_EQ(textOf(r, "RepSWFav"), "1");
    EXPECT_EQ(textOf(r, "Fav"), "<none>");
    EXPECT_EQ(std::get<double>(r.values[keyIndex("ToFavSz")]), 2048.0);
    EXPECT_TRUE(std::holds_alternative<std::monostate>(r.values[keyIndex("FavSz")]));
}

TEST(ResultKeys, KeysMatchAnywhereExactCaseAndOneLineCanFeedSeveral) {
    auto r = parse({"comnm=PC01", "ToBkup=\\\\srv\\backup\\UserID01", "  # UserName=Yamada"});
    EXPECT_EQ(textOf(r, "ComNM"), "<none>");
    EXPECT_EQ(textOf(r, "ToBkup"), "\\\\srv\\backup\\UserID01");
    EXPECT_EQ(textOf(r, "UserID"), "\\\\srv\\backup\\UserID01");
    EXPECT_EQ(textOf(r, "UserName"), "Yamada");
}

TEST(ResultKeys, ValueLiesBetweenTheFirstAndSecondEqualsUntrimmed) {
    auto r = parse({"ComNM=PC01=old", "UserID= u01 "});
    EXPECT_EQ(textOf(r, "ComNM"), "PC01");
    EXPECT_EQ(textOf(r, "UserID"), " u01 ");
    r = parse({"UserID u01"});  // matched but no "="
    EXPECT_EQ(textOf(r, "UserID"), "<none>");
}

TEST(ResultKeys, LastLineWithAValueWins) {
    auto r = parse({"Status=Idol", "Status=Run"});
    EXPECT_EQ(textOf(r, "Status"), "Run");
    r = parse({"FavSz=100", "FavSz=abc"});  // a failed conversion does not undo the earlier value
    EXPECT_EQ(std::get<double>(r.values[keyIndex("FavSz")]), 100.0);
}

TEST(ResultValues, CountsRoundHalvesToEvenAndStayIn16Bits) {
    EXPECT_EQ(parseCount("12.5"), 12);
    EXPECT_EQ(parseCount("13.5"), 14);
    EXPECT_EQ(parseCount("-2.5"), -2);
    EXPECT_EQ(parseCount("32767"), 32767);
    EXPECT_EQ(parseCount("-32768"), -32768);
    EXPECT_FALSE(parseCount("40000"));
    EXPECT_FALSE(parseCount("32767.5"));
    EXPECT_FALSE(parseCount(""));
    EXPECT_FALSE(parseCount("12a"));
}

TEST(ResultValues, NumbersAcceptPlainDecimalsOnly) {
    EXPECT_EQ(parseNumber("1234567890123"), 1234567890123.0);
    EXPECT_EQ(parseNumber(" 1,234.5 "), 1234.5);
    EXPECT_EQ(parseNumber("-1e3"), -1000.0);
    for (const char* bad :
         {"", " ", "abc", "1..2", "0x10", "inf", "nan", "1e999", ",5", "5,", "--1"})
        EXPECT_FALSE(parseNumber(bad)) << bad;
}

TEST(ResultFile, CountsErrorCodePiecesThatAreNoCodes) {
    test::TempDir dir;
    test::writeCp932Lines(dir.path() / "a.txt",
                          {"ComNM=PC01", "ErNo=JUNK", "ErNo=01,ABCDEF,,2,02"});
    const ParsedReport report = readResultFile(dir.path() / "a.txt");
    EXPECT_EQ(*report.text(kErNo), "01,ABCDEF,,2,02");
    EXPECT_EQ(report.droppedCodes, 2u);
}

}  // namespace
}  // namespace plenvo::intake
