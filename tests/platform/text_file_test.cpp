#include "platform/text_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

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

TEST(TextReader, RefusesALinkWhenAskedToAndStillReadsPlainFiles) {
    TempDir dir;
    writeBytes(dir.path() / "secret", "line of a file elsewhere\r\n");
    std::filesystem::create_symlink(dir.path() / "secret", dir.path() / "LINKOUT.TXT");
    EXPECT_THROW(TextReader(dir.path() / "LINKOUT.TXT", 1024, TextReader::Links::refuse),
                 std::system_error);
    TextReader plain(dir.path() / "secret", 1024, TextReader::Links::refuse);
    std::string line;
    EXPECT_TRUE(plain.readLine(line));
    EXPECT_EQ(line, "line of a file elsewhere");
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

TEST(TextWriter, NeverWritesThroughALinkOrIntoAPipe) {
    TempDir dir;
    const auto victim = dir.path() / "victim";
    writeBytes(victim, "precious");
    std::filesystem::create_symlink(victim, dir.path() / "SRV.ini");
    std::filesystem::create_symlink(victim, dir.path() / "RM.new~");
    ASSERT_EQ(::mkfifo((dir.path() / "UnADD").c_str(), 0600), 0);

    EXPECT_THROW(TextWriter(dir.path() / "SRV.ini", TextWriter::Mode::create), std::system_error);
    EXPECT_THROW(TextWriter(dir.path() / "UnADD", TextWriter::Mode::append), std::system_error);
    // A stale or planted file beside the target is replaced, not followed.
    TextWriter out(dir.path() / "RM", TextWriter::Mode::replace);
    out.writeLine("list");
    out.commit();
    EXPECT_EQ(readBytes(victim), "precious");
    EXPECT_EQ(readBytes(dir.path() / "RM"), "list\r\n");
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
