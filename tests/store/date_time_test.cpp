#include "store/date_time.h"

#include <gtest/gtest.h>

namespace plenvo::store {
namespace {

TEST(DateTime, ReadsTheFormsAgentsWrite) {
    const LocalTime expected{2009, 10, 1, 9, 5, 3};
    EXPECT_EQ(parseDateTime("2009/10/01 9:05:03"), expected);
    EXPECT_EQ(parseDateTime("2009/10/1 9:05:03"), expected);
    EXPECT_EQ(parseDateTime("2009-10-01 09:05:03"), expected);
    EXPECT_EQ(parseDateTime("2009-10-01T09:05:03"), expected);
    EXPECT_EQ(parseDateTime("2009/10/01 9:05"), (LocalTime{2009, 10, 1, 9, 5, 0}));
    EXPECT_EQ(parseDateTime("2009/10/01"), (LocalTime{2009, 10, 1, 0, 0, 0}));
}

TEST(DateTime, RefusesEverythingElse) {
    for (const char* bad :
         {"", "yesterday", "2009/13/01", "2009/02/30", "2009/10/01 24:00:00", "2009/10/01 9:60",
          "2009-10/01", "20091001", "2009/10/01 9:05:03 PM", "12/10/2009", "2009/10/01x"})
        EXPECT_FALSE(parseDateTime(bad)) << bad;
    EXPECT_TRUE(parseDateTime("2008/02/29"));
    EXPECT_FALSE(parseDateTime("2009/02/29"));
}

TEST(DateTime, StoredTextSortsAndGeneralTextShows) {
    const LocalTime t{2009, 10, 1, 9, 5, 3};
    EXPECT_EQ(storedText(t), "2009-10-01 09:05:03");
    EXPECT_EQ(fromStoredText("2009-10-01 09:05:03"), t);
    EXPECT_EQ(generalText(t), "2009/10/01 9:05:03");
    EXPECT_EQ(generalText({2009, 10, 1, 0, 0, 0}), "2009/10/01");
    EXPECT_EQ(generalTextOfStored("2009-10-01 23:59:00"), "2009/10/01 23:59:00");
    EXPECT_EQ(generalTextOfStored("not a date"), "not a date");
    EXPECT_LT(storedText({2009, 9, 30, 23, 0, 0}), storedText(t));
}

TEST(DateTime, CountsMidnightsAndMinuteBoundaries) {
    EXPECT_EQ(daysBetween({2009, 9, 30, 23, 59, 0}, {2009, 10, 1, 0, 1, 0}), 1);
    EXPECT_EQ(daysBetween({2008, 12, 31, 0, 0, 0}, {2009, 3, 1, 0, 0, 0}), 60);
    EXPECT_EQ(minutesBetween({2009, 10, 1, 9, 5, 59}, {2009, 10, 1, 9, 6, 0}), 1);
    EXPECT_EQ(minutesBetween({2009, 10, 1, 23, 55, 0}, {2009, 10, 2, 0, 5, 0}), 10);
}

}  // namespace
}  // namespace plenvo::store
