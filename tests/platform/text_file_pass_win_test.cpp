// File stamps against what Windows can do to a file: times set back, a
// file renamed away and another made under its name, folders beside it.

// windows.h first: the other Win32 headers build on it.
// clang-format off
#include <windows.h>
// clang-format on
#include <gtest/gtest.h>

#include <map>

#include "platform/files/file_system.h"
#include "platform/text/text_file.h"
#include "support/temp_dir.h"

namespace plenvo::platform {
namespace {

namespace fs = std::filesystem;

std::map<std::string, FileStamp> listed(const fs::path& folder, std::string_view skip = "") {
    std::map<std::string, FileStamp> out;
    EXPECT_TRUE(listStamps(
        folder, [&](std::string_view name) { return name != skip; },
        [&](std::string_view name, const FileStamp& stamp) { out[std::string(name)] = stamp; }));
    return out;
}

FILETIME fileTimeOf(std::int64_t secondsSince1970, std::int64_t hundredNs) {
    const std::int64_t ticks = (secondsSince1970 + 11644473600) * 10'000'000 + hundredNs;
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

bool setModified(const fs::path& file, const FILETIME& when) {
    const HANDLE handle = ::CreateFileW(file.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ,
                                        nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    const bool set = ::SetFileTime(handle, nullptr, &when, &when);
    ::CloseHandle(handle);
    return set;
}

TEST(FileStamps, TheListingTheReaderAndTheWriterAgreeAndAnyWriteShows) {
    test::TempDir dir;
    TextWriter writer(dir.path() / "a.vbs", TextWriter::Mode::create);
    writer.writeLine("山田");
    const FileStamp written = writer.commit();
    test::writeBytes(dir.path() / "b.vbs", "b");
    fs::create_directory(dir.path() / "dir.vbs");

    auto seen = listed(dir.path(), "b.vbs");
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen["a.vbs"], written);
    EXPECT_EQ(written.size, 6u);
    EXPECT_NE(written.file, 0u);
    FileStamp read;
    EXPECT_EQ(readPlainFile(dir.path() / "a.vbs", 100, read), encodeCp932("山田\r\n"));
    EXPECT_EQ(read, written);
    TextReader reader(dir.path() / "a.vbs");
    EXPECT_EQ(reader.openedStamp(), written);
    EXPECT_EQ(reader.stamp(), written);

    // Same size, same time set back: the change time still tells.
    FILETIME before{};
    {
        WIN32_FILE_ATTRIBUTE_DATA data{};
        ASSERT_TRUE(
            ::GetFileAttributesExW((dir.path() / "a.vbs").c_str(), GetFileExInfoStandard, &data));
        before = data.ftLastWriteTime;
    }
    ::Sleep(20);
    test::writeBytes(dir.path() / "a.vbs", "XXXXXX");
    ASSERT_TRUE(setModified(dir.path() / "a.vbs", before));
    EXPECT_EQ(listed(dir.path())["a.vbs"].modifiedNs, written.modifiedNs);
    EXPECT_NE(listed(dir.path())["a.vbs"], written);
    EXPECT_FALSE(listStamps(
        dir.path() / "none", [](std::string_view) { return true; },
        [](std::string_view, const FileStamp&) {}));
}

TEST(FileStamps, GiveTheTimeTheFileSystemTellsAndNameTheFile) {
    test::TempDir dir;
    const fs::path file = dir.path() / "pc01.txt";
    test::writeBytes(file, "x");
    // Summer and winter, the first second of 1970, and just before it.
    for (const std::int64_t when :
         {std::int64_t{1254355503}, std::int64_t{1263000000}, std::int64_t{0}, std::int64_t{-1}}) {
        ASSERT_TRUE(setModified(file, fileTimeOf(when, 9'999'999)));
        const auto stamp = plainFileStamp(file);
        ASSERT_TRUE(stamp);
        EXPECT_EQ(stamp->modifiedNs, when * 1'000'000'000 + 999'999'900) << when;
        EXPECT_EQ(modifiedTime(*stamp), lastModified(file)) << when;
    }
    const auto before = plainFileStamp(file);
    fs::rename(file, dir.path() / "old.txt");
    test::writeBytes(file, "x");
    EXPECT_NE(plainFileStamp(file)->file, before->file);
    EXPECT_EQ(plainFileStamp(dir.path() / "old.txt")->file, before->file);
    EXPECT_FALSE(plainFileStamp(dir.path()));
    EXPECT_FALSE(plainFileStamp(dir.path() / "none.txt"));
    OpenFolder folder(dir.path());
    EXPECT_EQ(folder.stampOf("pc01.txt"), plainFileStamp(file));
    EXPECT_FALSE(folder.stampOf("none.txt"));
    EXPECT_THROW(OpenFolder(dir.path() / "none"), std::system_error);
    EXPECT_THROW(OpenFolder(dir.path() / "old.txt"), std::system_error);
}

}  // namespace
}  // namespace plenvo::platform
