#include "platform/core/failure_log.h"

#include <gtest/gtest.h>

namespace plenvo::platform {
namespace {

TEST(PrintableText, ControlCharactersAndBrokenUtf8NeverReachTheTerminal) {
    EXPECT_EQ(printableText("a\x1b]0;owned\x07"
                            "b\x1b[2Jc\x7f",
                            500),
              "a?]0;owned?b?[2Jc?");
    EXPECT_EQ(printableText("one\r\ntwo\tthree", 500), "one  two three");
    EXPECT_EQ(printableText(std::string("nul\0end", 7), 500), "nul?end");
    // C1 controls written in UTF-8 (CSI is U+009B); U+00A0 after them is text.
    EXPECT_EQ(printableText("x\xC2\x9B"
                            "2Jy\xC2\x85z\xC2\xA0",
                            500),
              "x?2Jy?z\xC2\xA0");
    // Bytes that are no UTF-8: stray, overlong, surrogate, beyond U+10FFFF, cut short.
    EXPECT_EQ(printableText("\xFF\xC0\xAF|\xED\xA0\x80|\xF4\x90\x80\x80|\xE3\x81", 500),
              "???|???|????|??");
    EXPECT_EQ(printableText("山田 \\\\srv\\bk 😀", 500), "山田 \\\\srv\\bk 😀");
}

TEST(PrintableText, LongTextIsCutOnACharacterBoundaryAndMarked) {
    EXPECT_EQ(printableText(std::string(500, 'a'), 500), std::string(500, 'a'));
    EXPECT_EQ(printableText(std::string(501, 'a'), 500), std::string(494, 'a') + " [cut]");
    std::string kana;
    for (int i = 0; i < 1000; ++i) kana += "あ";
    std::string cut;
    for (int i = 0; i < 164; ++i) cut += "あ";
    EXPECT_EQ(printableText(kana, 500), cut + " [cut]");
    // Replacements count as what they print, not as the bytes they stand for.
    EXPECT_EQ(printableText(std::string(100000, '\x1b'), 500), std::string(494, '?') + " [cut]");
}

TEST(StderrFailureLog, WritesOnePrintableBoundedLine) {
    StderrFailureLog log;
    testing::internal::CaptureStderr();
    log.report("import", "\x1b[31mRST/" + std::string(2000, 'x') + ".TXT\n: open failed");
    const std::string out = testing::internal::GetCapturedStderr();
    EXPECT_EQ(out, "PlenvoBackupMng: import: ?[31mRST/" + std::string(494 - 9, 'x') + " [cut]\n");
}

}  // namespace
}  // namespace plenvo::platform

namespace plenvo::platform {
namespace {

class Lines final : public FailureLog {
  public:
    void report(std::string_view topic, std::string_view what) override {
        lines.push_back(std::string(topic) + ": " + std::string(what));
    }
    std::vector<std::string> lines;
};

TEST(RepeatsCounted, TheSameFailureIsToldOnceAndItsRepeatsCountedPerPass) {
    Lines told;
    RepeatsCounted failures(told, 3);
    for (int pass = 0; pass < 3; ++pass) {
        for (int row = 0; row < 2; ++row)
            failures.report("import", "PC0" + std::to_string(row) + ".txt: no such code");
        failures.passEnded();
    }
    EXPECT_EQ(told.lines, (std::vector<std::string>{
                              "import: PC00.txt: no such code", "import: PC01.txt: no such code",
                              "pass: 2 failures told before came again and went untold",
                              "pass: 2 failures told before came again and went untold"}));

    // A new failure is told; past the limit every one is told, memory stays bounded.
    told.lines.clear();
    failures.report("import", "PC02.txt: no such code");
    failures.report("import", "PC03.txt: no such code");
    failures.report("import", "PC03.txt: no such code");
    EXPECT_EQ(told.lines.size(), 3u);

    // One that stops for long enough is forgotten and told again when it comes back.
    for (long pass = 0; pass <= RepeatsCounted::kForgetAfter + 1; ++pass) failures.passEnded();
    told.lines.clear();
    failures.report("import", "PC00.txt: no such code");
    EXPECT_EQ(told.lines, std::vector<std::string>{"import: PC00.txt: no such code"});
}

}  // namespace
}  // namespace plenvo::platform
