// What Windows can put under a result file's name, and agents that hold
// their files locked.
#include <gtest/gtest.h>
#include <windows.h>

#include "result_import_fixture.h"
#include "support/held_file_win.h"

namespace plenvo::intake {
namespace {

namespace fs = std::filesystem;

// The path's name as it is on disk: with \\?\ Windows takes no name for a device.
fs::path literal(const fs::path& path) {
    return fs::path(L"\\\\?\\" + path.wstring());
}

class DeviceNamedFiles : public ResultImport {
  protected:
    ~DeviceNamedFiles() override {
        // Removing them by their plain names would reach the devices.
        for (const char* name : names) ::DeleteFileW(literal(rst / name).c_str());
    }
    static constexpr const char* names[] = {"nul.txt", "CON.TXT", "com1.txt"};
};

TEST_F(DeviceNamedFiles, AreSkippedWithoutWaitingOnTheDevice) {
    report("good.txt", {"ComNM=GOOD", "UserID=1"});
    // Files under such names, as a client of the share could make them: by its
    // plain name each reaches the device, the console waiting for typing above all.
    for (const char* name : names)
        test::writeCp932Lines(literal(rst / name), {"ComNM=DEVICE", "UserID=1"});
    ASSERT_EQ(std::distance(fs::directory_iterator(rst), {}), 4);
    import();
    EXPECT_EQ(column("ComNM"), std::vector<std::string>{"GOOD"});
    // Refused, each of them: not read from the device as an empty report.
    ASSERT_EQ(failures.lines.size(), std::size(names));
    for (const std::string& line : failures.lines)
        EXPECT_EQ(line.find("no ComNM"), std::string::npos) << line;
}

TEST_F(ResultImport, AFileAnAgentHoldsLockedIsTakenAtALaterPass) {
    ImportMemory memory(std::chrono::milliseconds(0));
    report("a.txt", {"ComNM=A", "UserID=1"});
    report("b.txt", {"ComNM=B", "UserID=1"});
    test::HeldFile agent(rst / "b.txt", GENERIC_WRITE, 0);
    ASSERT_TRUE(agent.held());
    importResults(ctx, animation, memory);
    EXPECT_EQ(column("ComNM"), std::vector<std::string>{"A"});
    ASSERT_EQ(failures.lines.size(), 1u);
    EXPECT_NE(failures.lines[0].find("b.txt"), std::string::npos) << failures.lines[0];

    agent.release();
    importResults(ctx, animation, memory);
    EXPECT_EQ(column("ComNM"), (std::vector<std::string>{"A", "B"}));
}

TEST_F(ResultImport, AFileTakenInIsNotOpenedAgainUntilAnybodyElseWrites) {
    ImportMemory memory(std::chrono::milliseconds(0));
    report("a.txt", {"ComNM=A", "UserID=1"});
    importResults(ctx, animation, memory);
    // Locked from now on: a pass that opened it would say so.
    test::HeldFile agent(rst / "a.txt", GENERIC_WRITE, 0);
    ASSERT_TRUE(agent.held());
    importResults(ctx, animation, memory);
    EXPECT_TRUE(failures.lines.empty()) << failures.lines.front();

    // Another program's commit between passes: every file is read again.
    store::openMng(ctx.base).exec("UPDATE UserLog SET Status = 'x'");
    importResults(ctx, animation, memory);
    EXPECT_EQ(failures.lines.size(), 1u);
}

}  // namespace
}  // namespace plenvo::intake
