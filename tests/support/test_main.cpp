#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

// The test programs' own main. It first leaves an empty file where
// PLENVO_STARTED_MARK names one, so that scripts/wine-run can tell a program
// that failed from one Wine never started.
int main(int argc, char** argv) {
    if (const char* mark = std::getenv("PLENVO_STARTED_MARK"); mark && *mark) std::ofstream{mark};
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
