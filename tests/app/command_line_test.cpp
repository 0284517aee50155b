#include "app/command_line.h"

#include <gtest/gtest.h>

namespace plenvo::app {
namespace {

TEST(CommandLine, ReadsEveryOption) {
    const auto parsed =
        parseCommandLine({"--base", "/b", "--once", "--headless", "--tick-ms", "250"});
    ASSERT_TRUE(parsed.options);
    EXPECT_EQ(parsed.options->base, std::filesystem::path("/b"));
    EXPECT_TRUE(parsed.options->once);
    EXPECT_TRUE(parsed.options->headless);
    EXPECT_EQ(parsed.options->tickMs, 250);
    EXPECT_EQ(parseCommandLine({}).options->tickMs, 60000);
}

TEST(CommandLine, RefusesUnknownOrIncompleteWords) {
    for (const auto& args : std::vector<std::vector<std::string>>{{"--bogus"},
                                                                  {"--base"},
                                                                  {"--tick-ms", "0"},
                                                                  {"--tick-ms", "12x"},
                                                                  {"--tick-ms", "-5"},
                                                                  {"once"}})
        EXPECT_FALSE(parseCommandLine(args).options) << args.front();
}

}  // namespace
}  // namespace plenvo::app
