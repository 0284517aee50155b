// Links and pipes under the names the console reads and writes.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/text/text_file.h"
#include "support/temp_dir.h"

namespace plenvo::platform {
namespace {

using test::readBytes;
using test::TempDir;
using test::writeBytes;

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

}  // namespace
}  // namespace plenvo::platform
