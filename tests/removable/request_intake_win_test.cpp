// Agents on a Windows share: a file another process holds open is renamed
// only when every handle on it allows that.
#include <windows.h>

#include <string>

#include "request_intake_fixture.h"

namespace plenvo::removable {
namespace {

namespace fs = std::filesystem;

// An agent appending to an exchange file through a handle of its own.
class Appending {
  public:
    Appending(const fs::path& file, DWORD share)
        : handle_(::CreateFileW(file.c_str(), FILE_APPEND_DATA, share, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    ~Appending() { close(); }
    bool open() const { return handle_ != INVALID_HANDLE_VALUE; }
    bool write(const std::string& line) {
        const std::string bytes = line + "\r\n";
        DWORD written = 0;
        return ::WriteFile(handle_, bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                           nullptr) &&
               written == bytes.size();
    }
    void close() {
        if (open()) ::CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }

  private:
    HANDLE handle_;
};

// Most programs open files so: others may read and write, not rename or delete.
constexpr DWORD kReadWrite = FILE_SHARE_READ | FILE_SHARE_WRITE;

TEST_F(Intake, ARequestFileAnAgentHoldsIsClaimedOnceItLetsGo) {
    Appending agent(rem() / "ADD", kReadWrite);
    ASSERT_TRUE(agent.open());
    ASSERT_TRUE(agent.write("1&a&u&"));
    tick(&dialogs);
    tick(&dialogs);
    EXPECT_TRUE(requests().empty());
    EXPECT_EQ(remFolder(), std::vector<std::string>{"ADD"}) << "claimed while held";
    ASSERT_TRUE(agent.write("2&b&u&"));
    agent.close();

    tick(&dialogs);
    drain(&dialogs);
    EXPECT_EQ(rows("SELECT DselNo FROM RemList_Add ORDER BY rowid"),
              (std::vector<std::string>{"1", "2"}));
    EXPECT_TRUE(remFolder().empty());
    EXPECT_TRUE(failures.lines.empty()) << failures.lines.front();
}

TEST_F(Intake, AClaimedFileAnAgentStillHoldsIsDeletedOnceItLetsGo) {
    test::writeCp932Lines(rem() / "UseRem", {"111&2009/10/01 9:00:00"});
    sql("INSERT INTO RemList (DselNo) VALUES ('111')");
    tick(&dialogs);
    ASSERT_EQ(remFolder(), (std::vector<std::string>{"UseRem.taking", "UseRem.taking.pos"}));
    // An agent that still holds the claimed file keeps the console from deleting it.
    Appending agent(rem() / "UseRem.taking", kReadWrite);
    ASSERT_TRUE(agent.open());
    for (int i = 0; i < 2; ++i) {
        settle();
        tick(&dialogs);
    }
    EXPECT_EQ(remFolder(), (std::vector<std::string>{"UseRem.taking", "UseRem.taking.pos"}));
    agent.close();
    drain(&dialogs);
    EXPECT_TRUE(remFolder().empty());
    EXPECT_EQ(rows("SELECT USDT FROM RemList"), std::vector<std::string>{"2009-10-01 09:00:00"});
    EXPECT_TRUE(failures.lines.empty()) << failures.lines.front();
}

// An agent that lets others rename its file, as a client of a share may:
// what it writes after the claim lands in the claimed file.
TEST_F(Intake, LinesAnAgentWritesAfterTheClaimAreNotLost) {
    Appending held(rem() / "ADD", kReadWrite | FILE_SHARE_DELETE);
    ASSERT_TRUE(held.open());
    ASSERT_TRUE(held.write("1&a&u&"));
    tick(&dialogs);
    ASSERT_TRUE(held.write("2&b&u&"));
    test::writeCp932Lines(rem() / "ADD", {"3&c&u&"});
    tick(&dialogs);
    EXPECT_EQ(requests().size(), 2u) << "the new file waits until the claimed one is done";
    settle();
    ASSERT_TRUE(held.write("4&d&u&")) << "late, yet before the file settled";
    tick(&dialogs);
    held.close();
    drain(&dialogs);
    EXPECT_EQ(rows("SELECT DselNo FROM RemList_Add ORDER BY rowid"),
              (std::vector<std::string>{"1", "2", "4", "3"}));
    EXPECT_EQ(dialogs.messages.size(), 4u) << "one question per tick that took requests in";
    EXPECT_TRUE(failures.lines.empty()) << failures.lines.front();
}

}  // namespace
}  // namespace plenvo::removable
