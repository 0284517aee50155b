#include <gtest/gtest.h>

#include <cstdlib>
#include <system_error>

#include "platform/text/text_file.h"
#include "support/temp_dir.h"

namespace plenvo::platform {
namespace {

// Runs under the failing_fsync library (see CMakeLists.txt).
class DurableWrite : public ::testing::Test {
  protected:
    void TearDown() override { ::unsetenv("PLENVO_FAIL_FSYNC"); }
    test::TempDir dir;
};

std::string contentOf(const std::filesystem::path& file) {
    return readPlainFile(file, 1 << 20).value_or("<missing>");
}

TEST_F(DurableWrite, AFlushTheDiskRefusesKeepsTheOldFileAndSaysSo) {
    const auto file = dir.path() / "SRV.ini";
    {
        TextWriter first(file, TextWriter::Mode::replace);
        first.writeLine("old");
        first.commit();
    }
    ::setenv("PLENVO_FAIL_FSYNC", "1", 1);
    TextWriter second(file, TextWriter::Mode::replace);
    second.writeLine("new");
    try {
        second.commit();
        FAIL() << "a refused flush was reported as written";
    } catch (const std::system_error& e) {
        EXPECT_EQ(e.code().value(), EIO);
    }
    EXPECT_EQ(contentOf(file), "old\r\n");
    EXPECT_FALSE(std::filesystem::exists(second.writingPath()));

    // An appended line that could not be flushed is reported too.
    TextWriter added(file, TextWriter::Mode::append);
    added.writeLine("more");
    EXPECT_THROW(added.commit(), std::system_error);

    ::unsetenv("PLENVO_FAIL_FSYNC");
    TextWriter third(file, TextWriter::Mode::replace);
    third.writeLine("new");
    third.commit();
    EXPECT_EQ(contentOf(file), "new\r\n");
}

TEST_F(DurableWrite, FilesTheConsoleMakesAgainAreNotFlushed) {
    ::setenv("PLENVO_FAIL_FSYNC", "1", 1);
    const auto file = dir.path() / "viewer.vbs";
    TextWriter viewer(file, TextWriter::Mode::create);
    viewer.writeLine("x");
    EXPECT_NO_THROW(viewer.commit());
    EXPECT_EQ(contentOf(file), "x\r\n");
}

}  // namespace
}  // namespace plenvo::platform
