// What Windows can do to the files the console reads and writes: device
// names in any folder, a file held open by another program while it is
// replaced, hidden and system files rewritten.

// windows.h first: the other Win32 headers build on it.
// clang-format off
#include <windows.h>
// clang-format on
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/files/plain_file.h"
#include "platform/text/text_file.h"
#include "support/held_file_win.h"
#include "support/temp_dir.h"

namespace plenvo::platform {
namespace {

namespace fs = std::filesystem;
using test::readBytes;
using test::TempDir;
using test::writeBytes;

size_t entries(const fs::path& folder) {
    return static_cast<size_t>(std::distance(fs::directory_iterator(folder), {}));
}

TEST(DeviceNames, AreNeitherReadNorWritten) {
    TempDir dir;
    // "NUL" and "CON" name the devices in every folder; reading the console
    // would wait for typing that never comes.
    for (const char* name : {"NUL", "CON", "nul.txt"}) {
        EXPECT_THROW(TextReader(dir.path() / name), std::system_error) << name;
        EXPECT_THROW(TextReader(dir.path() / name, 1024, TextReader::Links::refuse),
                     std::system_error);
        EXPECT_THROW(PlainFileReader(dir.path() / name), std::system_error) << name;
        EXPECT_FALSE(readPlainFile(dir.path() / name, 100)) << name;
        EXPECT_FALSE(plainFileStamp(dir.path() / name)) << name;
    }
    EXPECT_THROW(TextWriter(dir.path() / "NUL", TextWriter::Mode::create), std::system_error);
    EXPECT_THROW(TextWriter(dir.path() / "CON", TextWriter::Mode::append), std::system_error);
    EXPECT_THROW(TextReader(dir.path()), std::system_error);
    EXPECT_THROW(PlainFileReader(dir.path()), std::system_error);
}

TEST(TextWriter, ReplacesAFileAReaderHoldsOnceTheReaderLetsGo) {
    TempDir dir;
    const fs::path file = dir.path() / "RM";
    writeBytes(file, "old\r\n");
    test::HeldFile reader(file, GENERIC_READ, test::kReadersShare);
    ASSERT_TRUE(reader.held());
    std::jthread letGo([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        reader.release();
    });
    TextWriter out(file, TextWriter::Mode::replace);
    out.writeLine("new");
    EXPECT_NO_THROW(out.commit());
    EXPECT_EQ(readBytes(file), "new\r\n");
    EXPECT_EQ(entries(dir.path()), 1u);
}

TEST(TextWriter, AReplaceThatCannotHappenKeepsBothTextsUntilTheNextWrite) {
    TempDir dir;
    const fs::path file = dir.path() / "RM";
    writeBytes(file, "old\r\n");
    {
        test::HeldFile reader(file, GENERIC_READ, test::kReadersShare);
        ASSERT_TRUE(reader.held());
        TextWriter out(file, TextWriter::Mode::replace);
        out.writeLine("newer");
        const auto start = std::chrono::steady_clock::now();
        EXPECT_THROW(out.commit(), std::system_error);
        // Tried again for a while, but not for ever.
        EXPECT_GT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
        EXPECT_EQ(readBytes(file), "old\r\n");
        EXPECT_EQ(readBytes(out.writingPath()), "newer\r\n");
    }
    TextWriter out(file, TextWriter::Mode::replace);
    out.writeLine("newest");
    out.commit();
    EXPECT_EQ(readBytes(file), "newest\r\n");
    EXPECT_EQ(entries(dir.path()), 1u);
}

TEST(TextWriter, HiddenSystemFilesAreRewrittenAppendedToAndReplaced) {
    TempDir dir;
    constexpr DWORD kHiddenSystem = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    const fs::path list = dir.path() / "RM";
    const fs::path requests = dir.path() / "UnADD";
    for (const auto& file : {list, requests}) {
        writeBytes(file, "old\r\n");
        ASSERT_TRUE(::SetFileAttributesW(file.c_str(), kHiddenSystem));
    }
    {
        TextWriter out(list, TextWriter::Mode::create);
        out.writeLine("made");
        out.commit();
    }
    EXPECT_EQ(readBytes(list), "made\r\n");
    {
        TextWriter out(requests, TextWriter::Mode::append);
        out.writeLine("more");
        out.commit();
    }
    EXPECT_EQ(readBytes(requests), "old\r\nmore\r\n");
    {
        // As the allow list is written: the file beside hidden before it takes the name.
        TextWriter out(list, TextWriter::Mode::replace);
        out.writeLine("replaced");
        ASSERT_TRUE(::SetFileAttributesW(out.writingPath().c_str(), kHiddenSystem));
        out.commit();
    }
    EXPECT_EQ(readBytes(list), "replaced\r\n");
    EXPECT_EQ(::GetFileAttributesW(list.c_str()) & kHiddenSystem, kHiddenSystem);
    EXPECT_EQ(entries(dir.path()), 2u);
}

TEST(PlainFileReader, ReadsAtAnyPlaceWhileAnotherProgramAppends) {
    TempDir dir;
    const fs::path file = dir.path() / "Log.txt";
    writeBytes(file, "0123456789");
    PlainFileReader reader(file);
    char bytes[16] = {};
    EXPECT_EQ(reader.readAt(4, bytes, 3), 3u);
    EXPECT_EQ(std::string(bytes, 3), "456");
    {
        TextWriter out(file, TextWriter::Mode::append);
        out.write("abc");
        out.commit();
    }
    EXPECT_EQ(reader.size(), 13u);
    EXPECT_EQ(reader.readAt(8, bytes, sizeof bytes), 5u);
    EXPECT_EQ(std::string(bytes, 5), "89abc");
    EXPECT_EQ(reader.readAt(13, bytes, sizeof bytes), 0u);
    EXPECT_EQ(reader.readAt(1000, bytes, sizeof bytes), 0u);
}

}  // namespace
}  // namespace plenvo::platform
