#include "platform/text/text_file.h"

#include <gtest/gtest.h>

#include "platform/files/file_system.h"
#include "platform/text/utf8_path.h"
#include "support/temp_dir.h"

namespace plenvo::platform {
namespace {

using test::readBytes;
using test::TempDir;
using test::writeBytes;

TEST(Cp932, RoundTripsJapaneseAndReplacesWhatItCannotHold) {
    const std::string text = "山田 ①～－ ABC";
    const std::string bytes = encodeCp932(text);
    EXPECT_EQ(bytes.substr(0, 4), "\x8E\x52\x93\x63");  // 山田
    EXPECT_EQ(decodeCp932(bytes), text);
    // Emoji and Hangul have no CP932 form.
    EXPECT_EQ(encodeCp932("a😀b한c"), "a?b?c");
    // A broken sequence is one "?" and keeps the quote after it.
    EXPECT_EQ(encodeCp932("\xC3\"\"x\xE3\x81"), "?\"\"x??");
}

TEST(Cp932, BadBytesDecodeToReplacementCharacters) {
    const std::string decoded =
        decodeCp932(std::string("A\x81\x20"
                                "B\xFF",
                                5));
    EXPECT_EQ(decoded.front(), 'A');
    EXPECT_NE(decoded.find("B"), std::string::npos);
    EXPECT_NE(decoded.find("\xEF\xBF\xBD"), std::string::npos);
}

// Both builds must agree byte for byte, whatever converter each has.
TEST(Cp932, EverySystemGivesTheSameCharactersAndReplacements) {
    // Single bytes that start nothing, an unassigned row, a lead byte cut off.
    EXPECT_EQ(decodeCp932("\x80\xA0\xFD\xFE\xFF"), "\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(decodeCp932("\x85\x40\x81\x7F\x81"), "\uFFFD@\uFFFD\x7F\uFFFD");
    // NEC and IBM extensions, the user-defined area, half-width katakana.
    EXPECT_EQ(decodeCp932("\x87\x40\xFA\x40\xEE\xEF\xED\x40\xF0\x40\xB1"),
              "\u2460\u2170\u2170\u7E8A\uE000\uFF71");
    // One code for characters that have two; the JIS forms of a few others.
    EXPECT_EQ(encodeCp932("\u2170\u2116\u2235\uFFE2"), "\xFA\x40\x87\x82\x81\xE6\x81\xCA");
    EXPECT_EQ(encodeCp932("\u00A2\u00A3\u00A5\u00AC\u2014\u2016\u203E\u2212\u301C"),
              "\x81\x91\x81\x92\x5C\x81\xCA\x81\x5C\x81\x61\x7E\x81\x7C\x81\x60");
    // Look-alikes are not taken, nor characters of the private-use area.
    EXPECT_EQ(encodeCp932("\u0080\uF8F0\u00A6\uFEFF\uFFFD"), "?????");
    // Well-formed sequences that are no character are one "?" each; bytes
    // that start nothing are one "?" per byte.
    EXPECT_EQ(encodeCp932("a\xC0\x80"
                          "b\xED\xA0\x80"
                          "c\xF4\x90\x80\x80"
                          "d\xF8\x88\x80"),
              "a?b?c?d???");
}

TEST(TextFiles, NamesOutsideAsciiReachTheirFiles) {
    TempDir dir;
    const std::string name = "日本語①.txt";
    const auto file = dir.path() / pathFromUtf8(name);
    {
        TextWriter out(file, TextWriter::Mode::replace);
        out.writeLine("山田");
        out.commit();
    }
    EXPECT_EQ(readAllLines(file), std::vector<std::string>{"山田"});
    EXPECT_EQ(listFiles(dir.path()), std::vector<std::string>{name});
    std::vector<std::string> listed;
    EXPECT_TRUE(listStamps(
        dir.path(), [](std::string_view) { return true; },
        [&](std::string_view seen, const FileStamp&) { listed.emplace_back(seen); }));
    EXPECT_EQ(listed, std::vector<std::string>{name});
    ASSERT_TRUE(plainFileStamp(file));
    EXPECT_EQ(OpenFolder(dir.path()).stampOf(name), plainFileStamp(file));
    TextReader byName(OpenFolder(dir.path()), name);
    std::string line;
    EXPECT_TRUE(byName.readLine(line));
    EXPECT_EQ(line, "山田");
}

TEST(TextReader, ReadsCrLfAndLfLinesAndKeepsEmptyOnes) {
    TempDir dir;
    writeBytes(dir.path() / "a.txt", "one\r\ntwo\nthree\r\n\r\nlast");
    TextReader reader(dir.path() / "a.txt");
    std::vector<std::string> lines;
    std::string line;
    while (reader.readLine(line)) lines.push_back(line);
    EXPECT_EQ(lines, (std::vector<std::string>{"one", "two", "three", "", "last"}));
}

TEST(TextReader, PassesOverAHugeLineWithoutKeepingIt) {
    TempDir dir;
    std::string bytes = "before\r\n" + std::string(5'000'000, 'x') + "\r\nafter\r\n";
    writeBytes(dir.path() / "big.txt", bytes);
    TextReader reader(dir.path() / "big.txt", 1024);
    std::vector<std::string> lines;
    std::string line;
    while (reader.readLine(line)) lines.push_back(line);
    EXPECT_EQ(lines, (std::vector<std::string>{"before", "after"}));
    EXPECT_EQ(reader.overlongLines(), 1u);
}

TEST(TextReader, MissingFileThrows) {
    TempDir dir;
    EXPECT_THROW(TextReader(dir.path() / "none.txt"), std::system_error);
}

TEST(TextWriter, WritesCp932WithCrLf) {
    TempDir dir;
    TextWriter out(dir.path() / "o.txt", TextWriter::Mode::create);
    out.writeLine("漢字");
    out.write("x");
    out.writeLine("");
    out.commit();
    EXPECT_EQ(readBytes(dir.path() / "o.txt"), "\x8A\xBF\x8E\x9A\r\nx\r\n");
}

TEST(TextWriter, ReplaceLeavesTheOldFileUntilCommitAndNoLeftovers) {
    TempDir dir;
    const auto file = dir.path() / "list";
    writeBytes(file, "old\r\n");
    {
        TextWriter out(file, TextWriter::Mode::replace);
        out.writeLine("new");
        EXPECT_EQ(readBytes(file), "old\r\n");
        // Dropped without commit: the old file stays.
    }
    EXPECT_EQ(readBytes(file), "old\r\n");
    {
        TextWriter out(file, TextWriter::Mode::replace);
        out.writeLine("new");
        out.commit();
    }
    EXPECT_EQ(readBytes(file), "new\r\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(TextWriter, AppendAddsToTheEnd) {
    TempDir dir;
    const auto file = dir.path() / "UnADD";
    for (const char* line : {"a", "b"}) {
        TextWriter out(file, TextWriter::Mode::append);
        out.writeLine(line);
        out.commit();
    }
    EXPECT_EQ(readBytes(file), "a\r\nb\r\n");
}

}  // namespace
}  // namespace plenvo::platform
