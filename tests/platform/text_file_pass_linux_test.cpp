// File stamps against what Linux can do to a file: times set back, links
// and pipes beside the files.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/time.h>

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

TEST(FileStamps, TheListingTheReaderAndTheWriterAgreeAndAnyWriteShows) {
    test::TempDir dir;
    TextWriter writer(dir.path() / "a.vbs", TextWriter::Mode::create);
    writer.writeLine("山田");
    const FileStamp written = writer.commit();
    test::writeBytes(dir.path() / "b.vbs", "b");
    fs::create_symlink(dir.path() / "a.vbs", dir.path() / "link.vbs");
    fs::create_directory(dir.path() / "dir.vbs");
    ASSERT_EQ(::mkfifo((dir.path() / "pipe.vbs").c_str(), 0600), 0);

    auto seen = listed(dir.path(), "b.vbs");
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen["a.vbs"], written);
    EXPECT_EQ(written.size, 6u);
    FileStamp read;
    EXPECT_EQ(readPlainFile(dir.path() / "a.vbs", 100, read), encodeCp932("山田\r\n"));
    EXPECT_EQ(read, written);

    // Same size, same time set back: the change time still tells.
    struct stat st {};
    ::stat((dir.path() / "a.vbs").c_str(), &st);
    test::writeBytes(dir.path() / "a.vbs", "XXXXXX");
    const timespec times[2] = {st.st_atim, st.st_mtim};
    ::utimensat(AT_FDCWD, (dir.path() / "a.vbs").c_str(), times, 0);
    EXPECT_NE(listed(dir.path())["a.vbs"], written);
    EXPECT_FALSE(listStamps(
        dir.path() / "none", [](std::string_view) { return true; },
        [](std::string_view, const FileStamp&) {}));
}

TEST(FileStamps, GiveTheTimeTheFileSystemTellsAndNameTheFile) {
    test::TempDir dir;
    const fs::path file = dir.path() / "pc01.txt";
    test::writeBytes(file, "x");
    for (const std::time_t when : {std::time_t{1254355503}, std::time_t{-1}, std::time_t{0}}) {
        const timespec times[2] = {{when, 999'999'999}, {when, 999'999'999}};
        ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
        const auto stamp = plainFileStamp(file);
        ASSERT_TRUE(stamp);
        EXPECT_EQ(modifiedTime(*stamp), lastModified(file)) << when;
    }
    const auto before = plainFileStamp(file);
    fs::rename(file, dir.path() / "old.txt");
    test::writeBytes(file, "x");
    EXPECT_NE(plainFileStamp(file)->file, before->file);
    fs::create_symlink(dir.path() / "old.txt", dir.path() / "link.txt");
    EXPECT_FALSE(plainFileStamp(dir.path() / "link.txt"));
    EXPECT_FALSE(plainFileStamp(dir.path()));
    OpenFolder folder(dir.path());
    EXPECT_EQ(folder.stampOf("pc01.txt"), plainFileStamp(file));
    EXPECT_FALSE(folder.stampOf("link.txt"));
}

}  // namespace
}  // namespace plenvo::platform
