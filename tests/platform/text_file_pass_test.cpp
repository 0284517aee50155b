// What the passes rely on: CP932 text that converts on several threads at
// once and line by line as a whole. The stamps that let a pass skip a file it
// already knows are tested per system, each against what can happen to a file there.
#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <thread>

#include "platform/text/text_file.h"

namespace plenvo::platform {
namespace {

TEST(Cp932, ConvertsOnManyThreadsAtOnce) {
    const std::string text = "山田 ①～－ ABC ｶﾅ";
    const std::string bytes = encodeCp932(text);
    const std::string bad(
        "A\x81\x20"
        "B\xFF",
        5);
    const std::string badDecoded = decodeCp932(bad);
    std::vector<std::jthread> threads;
    std::atomic<int> wrong = 0;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 2000; ++i)
                if (encodeCp932(text) != bytes || decodeCp932(bytes) != text ||
                    decodeCp932(bad) != badDecoded || encodeCp932("a😀b") != "a?b")
                    ++wrong;
        });
    threads.clear();
    EXPECT_EQ(wrong, 0);
}

TEST(Cp932, LinesEncodeAloneAsTheyDoTogether) {
    const std::vector<std::string> pieces = {"a",        "ABC ", "山田", "①～－",    "ｶﾅ",
                                             "😀",        "한",   "\xC3", "\xE3\x81", "\x81",
                                             "\xF0\x9F", "\"'",  ""};
    std::minstd_rand random(7);
    auto text = [&] {
        std::string out;
        for (int i = static_cast<int>(random() % 6); i > 0; --i)
            out += pieces[random() % pieces.size()];
        return out;
    };
    for (int i = 0; i < 5000; ++i) {
        const std::string first = text(), second = text();
        ASSERT_EQ(encodeCp932(first + "\r\n" + second),
                  encodeCp932(first) + "\r\n" + encodeCp932(second))
            << first << "|" << second;
    }
}

}  // namespace
}  // namespace plenvo::platform
