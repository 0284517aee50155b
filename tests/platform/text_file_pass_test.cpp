// What the passes rely on: stamps that let a pass skip a file it already
// knows and that give the file's time, and CP932 text that converts on
// several threads at once and line by line as a whole.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/time.h>

#include <atomic>
#include <map>
#include <random>
#include <thread>

#include "platform/file_system.h"
#include "platform/text_file.h"
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
