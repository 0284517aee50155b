#include "intake/drive_survey.h"

#include <map>

#include "check_fixture.h"
#include "platform/text/utf8_path.h"

namespace plenvo::test {
namespace {

using platform::DriveValues;
using platform::LocalTime;

// SRV01 is a Windows server with the share Backup; this machine shares the
// folder data as "Data". Drive values come from the test, by share path.
class DriveSurvey : public CheckFixture {
  protected:
    DriveSurvey() {
        std::filesystem::create_directories(local());
        probes.shares = [this](const std::string& server) -> std::vector<platform::ShareEntry> {
            ++asked[platform::lowerCase(server)];
            if (platform::lowerCase(server) == "srv01")
                return {{"ADMIN$", "C:\\Windows"}, {"Backup", "D:\\Backups"}, {"Other", "E:\\"}};
            if (server == "localhost") return {{"Data", platform::utf8Of(local())}};
            return {};
        };
        probes.drive = [this](const std::string& sharePath) {
            const auto it = drives.find(platform::lowerCase(sharePath));
            return it == drives.end() ? std::nullopt : std::optional<DriveValues>(it->second);
        };
        drives[kBackup] = drive(1000, 140);
    }

    // Share paths in lower case.
    static constexpr const char* kBackup = "\\\\srv01\\backup";
    static constexpr const char* kData = "\\\\localhost\\data";

    std::filesystem::path local() const { return dir.path() / "data"; }
    static DriveValues drive(double total, double free) {
        return {"NTFS", total, free, 3, "DATA", -1967333648};
    }

    void survey() { intake::surveyShareDrives(ctx, probes); }
    void later(int minutes) {
        auto t = clock.now();
        t.minute += minutes;
        clock.set(t);
    }

    void addShareRow(const std::string& sharePath, std::int64_t rate, const LocalTime& updt) {
        auto c = db();
        auto st = c.prepare(
            "INSERT INTO ShareDriveInfo (ComNM, SharePath, UsageVate, UPDT) VALUES ('srv01', ?1, "
            "?2, ?3)");
        st.bind(1, sharePath).bind(2, store::DbValue{rate}).bind(3, store::storedText(updt)).run();
    }

    // One field of the share's row, as text.
    std::string field(const std::string& sharePath, const std::string& name) {
        auto c = db();
        auto st = c.prepare("SELECT " + name + " FROM ShareDriveInfo WHERE SharePath = ?1");
        st.bind(1, sharePath);
        if (!st.step()) return "<no row>";
        const auto v = st.value(0);
        if (auto* s = std::get_if<std::string>(&v)) return *s;
        if (auto* i = std::get_if<std::int64_t>(&v)) return std::to_string(*i);
        if (auto* d = std::get_if<double>(&v)) return std::to_string(static_cast<std::int64_t>(*d));
        return "<null>";
    }

    std::int64_t shareRows() {
        auto c = db();
        auto st = c.prepare("SELECT count(*) FROM ShareDriveInfo");
        st.step();
        return *st.integer(0);
    }

    intake::SurveyProbes probes;
    std::map<std::string, DriveValues> drives;
    std::map<std::string, int> asked;
};

TEST_F(DriveSurvey, RowsOfOneShareShareOneSurveyedRow) {
    const auto pc1 = addUser("pc1", "\\\\SRV01\\Backup\\PC01", "");
    addUser("pc2", "\\\\srv01\\Backup\\PC02\\", "");
    drives[kData] = drive(4000, 1000);
    addUser("pc3", "\\\\localhost\\data\\PC03", "");

    survey();

    EXPECT_EQ(shareRows(), 2);
    EXPECT_EQ(asked["srv01"], 1);
    const std::string share = "\\\\SRV01\\Backup";
    EXPECT_EQ(field(share, "ComNM"), "SRV01");
    EXPECT_EQ(field(share, "Drv"), "D:");
    EXPECT_EQ(field(share, "LocalPath"), "D:\\Backups\\");
    EXPECT_EQ(field(share, "DrvSystem"), "NTFS");
    EXPECT_EQ(field(share, "DrvSize"), "1000");
    EXPECT_EQ(field(share, "DrvSpace"), "140");
    EXPECT_EQ(field(share, "DrvType"), "3");
    EXPECT_EQ(field(share, "VolumeName"), "DATA");
    EXPECT_EQ(field(share, "SerialNumber"), "-1967333648");
    EXPECT_EQ(field(share, "UsageVate"), "86");
    EXPECT_EQ(field(share, "UPDT"), "2009-10-08 00:01:00");
    // A folder of this machine names the drive that holds it.
    // With the separator of its own system's paths.
    const std::string localPath = platform::utf8Of(local() / "");
    EXPECT_EQ(field("\\\\localhost\\data", "LocalPath"), localPath);
    const std::string drv = field("\\\\localhost\\data", "Drv");
    EXPECT_FALSE(drv.empty());
    EXPECT_TRUE(localPath.starts_with(drv)) << drv;
    EXPECT_EQ(field("\\\\localhost\\data", "UsageVate"), "75");
    // A share first seen decides on the rate just read.
    EXPECT_EQ(erNo(pc1), "07");
}

TEST_F(DriveSurvey, RefreshesOnlyAfterTenMinuteBoundaries) {
    // Now is 00:01; these were surveyed 5, 10 and 11 minute boundaries ago.
    addShareRow("\\\\SRV01\\Backup", 50, {2009, 10, 7, 23, 56, 0});
    addUser("a", "\\\\SRV01\\Backup\\PC01", "");
    survey();
    EXPECT_EQ(field("\\\\SRV01\\Backup", "UsageVate"), "50");

    clock.set({2009, 10, 8, 0, 6, 59});
    survey();
    EXPECT_EQ(field("\\\\SRV01\\Backup", "UsageVate"), "50");

    clock.set({2009, 10, 8, 0, 7, 0});
    survey();
    EXPECT_EQ(field("\\\\SRV01\\Backup", "UsageVate"), "86");
    EXPECT_EQ(field("\\\\SRV01\\Backup", "UPDT"), "2009-10-08 00:07:00");
}

TEST_F(DriveSurvey, FullDriveCodeGoesByTheStoredRate) {
    addShareRow("\\\\SRV01\\Backup", 50, {2009, 10, 7, 0, 0, 0});
    const auto user = addUser("a", "\\\\SRV01\\Backup\\PC01", "03");

    survey();  // writes 86, decides on the 50 stored before
    EXPECT_EQ(erNo(user), "03");
    later(11);
    survey();
    EXPECT_EQ(erNo(user), "03,07");

    drives[kBackup] = drive(1000, 150);  // 85 %
    later(11);
    survey();
    EXPECT_EQ(erNo(user), "03,07");
    later(11);
    survey();
    EXPECT_EQ(field("\\\\SRV01\\Backup", "UsageVate"), "85");
    EXPECT_EQ(erNo(user), "03,");
}

TEST_F(DriveSurvey, UnreadableOrEmptyDrivesKeepTheirOwnValues) {
    addShareRow("\\\\SRV01\\Backup", 90, {2009, 10, 7, 0, 0, 0});
    drives[kBackup] = drive(0, 0);
    addUser("a", "\\\\SRV01\\Backup\\PC01", "");
    // Other is listed by SRV01 but its drive cannot be read.
    const auto unreachable = addUser("b", "\\\\SRV01\\Other\\PC02", "07");

    survey();

    EXPECT_EQ(field("\\\\SRV01\\Backup", "UsageVate"), "90");
    EXPECT_EQ(field("\\\\SRV01\\Backup", "DrvSize"), "0");
    EXPECT_EQ(field("\\\\SRV01\\Other", "Drv"), "E:");
    EXPECT_EQ(field("\\\\SRV01\\Other", "DrvSize"), "<null>");
    EXPECT_EQ(field("\\\\SRV01\\Other", "UsageVate"), "<null>");
    EXPECT_EQ(erNo(unreachable), "07");
    EXPECT_EQ(failures.lines.size(), 1u);
}

TEST_F(DriveSurvey, DestinationsWithoutAShareArePassedOver) {
    const std::vector<std::string> destinations = {
        "",
        "D:\\Backup",
        "\\\\SRV01",
        "\\\\SRV01\\Backup\\Dept\\PC01",
        "\\\\SRV01\\Nothing\\PC01",
        "\\\\silent\\Backup\\PC01",
        "\\\\silent\\Backup\\PC02",
        "\\\\it's\\Backup\\PC01",
    };
    std::vector<std::int64_t> users;
    for (const auto& d : destinations) users.push_back(addUser("x", d, "07"));

    survey();

    EXPECT_EQ(shareRows(), 0);
    for (const auto user : users) EXPECT_EQ(erNo(user), "07");
    EXPECT_EQ(asked["silent"], 1);
    EXPECT_EQ(failures.lines.size(), 2u);  // each silent server told once
}

TEST_F(DriveSurvey, ApostrophesAreValuesLikeAnyOther) {
    probes.shares = [this](const std::string&) -> std::vector<platform::ShareEntry> {
        return {{"Dave's", platform::utf8Of(local())}};
    };
    drives["\\\\localhost\\dave's"] = drive(1000, 900);
    addUser("a", "\\\\localhost\\Dave's\\PC01", "");
    survey();
    survey();
    EXPECT_EQ(shareRows(), 1);
    EXPECT_EQ(field("\\\\localhost\\Dave's", "UsageVate"), "10");
}

}  // namespace
}  // namespace plenvo::test
