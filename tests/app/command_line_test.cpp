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

TEST(CommandLine, TheWebViewsFilesGoWithHttp) {
    const auto pfx = parseCommandLine(
        {"--http", "8443", "--http-cert", "cert.pfx", "--http-cert-password-file", "password"});
    ASSERT_TRUE(pfx.options && pfx.options->http) << pfx.error;
    EXPECT_EQ(pfx.options->http->certFile, std::filesystem::path("cert.pfx"));
    EXPECT_EQ(pfx.options->http->certPasswordFile, std::filesystem::path("password"));
    EXPECT_FALSE(pfx.options->http->keyFile);

    const auto alone = parseCommandLine({"--http-cert-password-file", "password"});
    EXPECT_FALSE(alone.options);
    EXPECT_NE(alone.error.find("go with --http"), std::string::npos) << alone.error;
    EXPECT_FALSE(parseCommandLine({"--http", "8443", "--http-cert-password-file"}).options);
}

TEST(CommandLine, TheFrontTakesAServedAddressAndRunsAlone) {
    const auto front = parseCommandLine({"--front", "http://127.0.0.1:8080/"});
    ASSERT_TRUE(front.options) << front.error;
    EXPECT_EQ(front.options->front, "http://127.0.0.1:8080/");
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--front"},
             {"--front", "127.0.0.1:8080"},
             {"--front", "file:///etc/passwd"},
             {"--front", "http://"},
             {"--front", "http://host/a b"},
             {"--front", "http://127.0.0.1:8080/", "--headless"},
             {"--front", "http://127.0.0.1:8080/", "--http", "8080"}})
        EXPECT_FALSE(parseCommandLine(args).options) << args.back();
}

}  // namespace
}  // namespace plenvo::app
