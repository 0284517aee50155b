// What the Windows installer has the program do as an administrator: place the
// data of an older installation, and make or take away the share.
#include <gtest/gtest.h>

#include <deque>

#include "app/data_folder.h"
#include "app/share_routines.h"
#include "support/temp_dir.h"

namespace plenvo::app {
namespace {

namespace fs = std::filesystem;

class DataPlacement : public ::testing::Test {
  protected:
    DataPlacement() {
        fs::create_directories(program / "HTM");
        test::writeBytes(program / "PlenvoBackupMng.exe", "program");
        test::writeBytes(program / "Mng.mdb", "rows");
        test::writeBytes(program / "Mail.ini", "password");
        fs::create_directories(program / "OrvShare" / "RST");
        test::writeBytes(program / "OrvShare" / "RST" / "PC01.txt", "result");
        test::writeBytes(program / "HTM" / "Index.htm", "page");
    }
    DataPlace place() {
        return placeData(program, data, [this](const std::string& line) { said.push_back(line); });
    }
    // The older installation's data, as found in `folder`.
    static bool holdsTheData(const fs::path& folder) {
        return test::readBytes(folder / "Mng.mdb") == "rows" &&
               test::readBytes(folder / "Mail.ini") == "password" &&
               fs::exists(folder / "OrvShare" / "RST" / "PC01.txt") &&
               fs::exists(folder / "HTM" / "Index.htm");
    }

    test::TempDir dir;
    const fs::path program = dir.path() / "Program Files" / "Plenvo Backup Manager";
    const fs::path data = dir.path() / "ProgramData" / "Plenvo Backup Manager";
    std::vector<std::string> said;
};

TEST_F(DataPlacement, AnOlderInstallationsDataMovesOnceAndTheProgramStays) {
    const DataPlace placed = place();
    EXPECT_EQ(placed.older, DataPlace::Older::moved);
    EXPECT_EQ(placed.folder, data);
    EXPECT_TRUE(holdsTheData(data));
    EXPECT_EQ(test::readBytes(program / "PlenvoBackupMng.exe"), "program");
    for (const char* gone : {"Mng.mdb", "Mail.ini", "OrvShare", "HTM"})
        EXPECT_FALSE(fs::exists(program / gone)) << gone;
    ASSERT_EQ(said.size(), 1u);
    EXPECT_NE(said[0].find("moved the older installation's data from"), std::string::npos);

    // Installed again: nothing is left to move, and nothing is said.
    said.clear();
    EXPECT_EQ(place().older, DataPlace::Older::none);
    EXPECT_TRUE(said.empty());
}

TEST_F(DataPlacement, DataThatCannotAllMoveStaysWholeWhereItWas) {
    // HTM comes after Mng.mdb, Mail.ini and OrvShare; one is in its way.
    fs::create_directories(data / "HTM");
    test::writeBytes(data / "HTM" / "Index.htm", "another page");
    const DataPlace placed = place();
    EXPECT_EQ(placed.older, DataPlace::Older::usedInPlace);
    EXPECT_EQ(placed.folder, program);
    EXPECT_TRUE(holdsTheData(program));
    EXPECT_FALSE(fs::exists(data / "Mng.mdb"));
    EXPECT_FALSE(fs::exists(data / "OrvShare"));
    EXPECT_EQ(test::readBytes(data / "HTM" / "Index.htm"), "another page");
    ASSERT_EQ(said.size(), 1u);
    EXPECT_NE(said[0].find("could not move HTM"), std::string::npos) << said[0];
    EXPECT_NE(said[0].find("the data stays in " + program.string()), std::string::npos) << said[0];
}

TEST_F(DataPlacement, DataAlreadyInTheDataFolderWinsOverTheOlder) {
    fs::create_directories(data);
    test::writeBytes(data / "Mng.mdb", "newer rows");
    const DataPlace placed = place();
    EXPECT_EQ(placed.older, DataPlace::Older::leftBeside);
    EXPECT_EQ(placed.folder, data);
    EXPECT_EQ(test::readBytes(data / "Mng.mdb"), "newer rows");
    EXPECT_TRUE(holdsTheData(program));
    ASSERT_EQ(said.size(), 1u);
    EXPECT_NE(said[0].find("is left as it is"), std::string::npos) << said[0];
}

// Answers each call with the next outcome given for it, and notes the calls.
class ScriptedShares final : public platform::ShareService {
  public:
    platform::ShareOutcome addShare(const std::string& name, const fs::path& folder) override {
        calls.push_back("add " + name + " " + folder.string());
        return next(added);
    }
    void grantAccess(const fs::path& folder) override {
        calls.push_back("grant " + folder.string());
    }
    platform::UnshareOutcome removeShare(const std::string& name, const fs::path& folder) override {
        calls.push_back("remove " + name + " " + folder.string());
        return next(removed);
    }

    std::deque<platform::ShareOutcome> added;
    std::deque<platform::UnshareOutcome> removed;
    std::vector<std::string> calls;

  private:
    template <typename Outcome>
    static Outcome next(std::deque<Outcome>& outcomes) {
        if (outcomes.empty()) return {};
        Outcome outcome = outcomes.front();
        outcomes.pop_front();
        return outcome;
    }
};

TEST(InstallerShare, FollowsTheDataFromTheProgramsFolderButLeavesAnyOtherFolders) {
    using Added = platform::ShareOutcome::Kind;
    using Removed = platform::UnshareOutcome::Kind;
    const fs::path share = "/data/OrvShare", older = "/program/OrvShare";
    std::vector<std::string> said;
    const Say say = [&](const std::string& line) { said.push_back(line); };

    ScriptedShares moving;
    moving.added = {{Added::sharesAnotherFolder, "/program/OrvShare"}, {}};
    moving.removed = {{Removed::removed, {}}};
    EXPECT_TRUE(shareForInstaller(share, older, moving, say));
    EXPECT_EQ(moving.calls, (std::vector<std::string>{"add OrvShare$ /data/OrvShare",
                                                      "remove OrvShare$ /program/OrvShare",
                                                      "add OrvShare$ /data/OrvShare"}));
    EXPECT_EQ(said.back(), "shared /data/OrvShare as OrvShare$");

    // The administrator's share of another folder: agents deliver there.
    ScriptedShares theirs;
    theirs.added = {{Added::sharesAnotherFolder, "/srv/other"}};
    theirs.removed = {{Removed::sharesAnotherFolder, "/srv/other"}};
    EXPECT_FALSE(shareForInstaller(share, older, theirs, say));
    EXPECT_EQ(theirs.calls.size(), 2u);
    EXPECT_NE(said.back().find("OrvShare$ shares /srv/other, not /data/OrvShare"),
              std::string::npos)
        << said.back();

    ScriptedShares failing;
    failing.added = {{Added::failed, "Access is denied."}};
    EXPECT_FALSE(shareForInstaller(share, older, failing, say));
    EXPECT_NE(said.back().find("(Access is denied.)"), std::string::npos) << said.back();

    // Taking it away: gone, never there or another folder's are all done with.
    for (const Removed kind : {Removed::removed, Removed::none, Removed::sharesAnotherFolder}) {
        ScriptedShares removing;
        removing.removed = {{kind, "/srv/other"}};
        EXPECT_TRUE(unshareForUninstaller(share, removing, say)) << said.back();
        EXPECT_EQ(removing.calls, (std::vector<std::string>{"remove OrvShare$ /data/OrvShare"}));
    }
    ScriptedShares refusing;
    refusing.removed = {{Removed::failed, "Access is denied."}};
    EXPECT_FALSE(unshareForUninstaller(share, refusing, say));
    EXPECT_NE(said.back().find("could not be removed (Access is denied.)"), std::string::npos);
}

}  // namespace
}  // namespace plenvo::app
