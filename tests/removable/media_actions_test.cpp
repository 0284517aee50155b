#include "removable/media_actions.h"

#include <mutex>
#include <thread>

#include "installation.h"
#include "platform/files/dos_attributes.h"

namespace plenvo::removable {
namespace {

namespace fs = std::filesystem;

class MediaActions : public test::Installation {
  protected:
    MediaActions() {
        request("111", "1 GB", "u1", "a");
        request("111", "2 GB", "u2", "b");
        request("222", "2 GB", "", "c");
    }
    void request(const std::string& serial, const std::string& size, const std::string& users,
                 const std::string& remark) {
        sql("INSERT INTO RemList_Add (DselNo, Size, UserID, Remark, UPDT) VALUES ('" + serial +
            "', '" + size + "', '" + users + "', '" + remark + "', '2009-09-30 08:00:00')");
    }
    void registration(const std::string& serial, const std::string& users) {
        sql("INSERT INTO RemList (DselNo, Size, UserID, Remark, UPDT, USDT) VALUES ('" + serial +
            "', '4 GB', '" + users + "', 'old', '2001-01-01 00:00:00', '2001-01-01 00:00:00')");
    }
    std::vector<std::string> registered() {
        return rows(
            "SELECT DselNo||'|'||Size||'|'||UserID||'|'||Remark||'|'||UPDT||'|'||USDT "
            "FROM RemList ORDER BY rowid");
    }
    std::vector<std::string> requests() {
        return rows("SELECT DselNo||'|'||UserID FROM RemList_Add ORDER BY rowid");
    }
};

TEST_F(MediaActions, ApprovalOverwritesTheRegistrationAndTakesEveryRequestOfTheSerial) {
    registration("111", "old");
    EXPECT_EQ(approveRequest(ctx, flag, "111", std::nullopt, std::nullopt).outcome,
              ActionOutcome::done);
    EXPECT_EQ(registered(),
              std::vector<std::string>{"111|1 GB|u1|a|2009-10-01 09:05:03|2009-10-01 09:05:03"})
        << "the first request's own values";
    EXPECT_EQ(requests(), std::vector<std::string>{"222|"});

    // Stored as the boxes store them: its own empty user ids, an edited remark.
    EXPECT_EQ(approveRequest(ctx, flag, "222", std::nullopt, "x&y").outcome, ActionOutcome::done);
    EXPECT_EQ(registered()[1], "222|2 GB|Any|x y|2009-10-01 09:05:03|2009-10-01 09:05:03");
    EXPECT_TRUE(requests().empty());

    const ActionResult again = approveRequest(ctx, flag, "111", std::nullopt, std::nullopt);
    EXPECT_EQ(again.outcome, ActionOutcome::notFound);
    EXPECT_FALSE(again.why.empty());
    EXPECT_EQ(registered().size(), 2u);
}

TEST_F(MediaActions, DenialWritesTheFirstRequestsLineAndTakesEveryRequestOfTheSerial) {
    EXPECT_EQ(denyRequest(ctx, flag, "111").outcome, ActionOutcome::done);
    // An agent's field may hold a lone CR or a control character: each line stays one line.
    sql("INSERT INTO RemList_Add (DselNo, Size, UserID, Remark) VALUES "
        "('333', NULL, 'u' || char(13) || 'v', 'p' || char(1) || 'q')");
    clock.set({2009, 10, 2, 0, 0, 0});
    EXPECT_EQ(denyRequest(ctx, flag, "333").outcome, ActionOutcome::done);
    EXPECT_EQ(denyRequest(ctx, flag, "111").outcome, ActionOutcome::notFound);

    EXPECT_EQ(file("UnADD"), "111&1 GB&u1&a&2009/10/01 9:05:03\r\n333&&u v&p q&2009/10/02\r\n");
    EXPECT_EQ(platform::attributes(rem() / "UnADD"), platform::kHidden | platform::kSystem);
    EXPECT_EQ(requests(), std::vector<std::string>{"222|"});
    EXPECT_TRUE(registered().empty());
}

TEST_F(MediaActions, ADenialThatCannotBeWrittenKeepsTheRequests) {
    fs::create_directories(rem() / "UnADD");
    const ActionResult result = denyRequest(ctx, flag, "111");
    EXPECT_EQ(result.outcome, ActionOutcome::failed);
    EXPECT_FALSE(result.why.empty());
    EXPECT_EQ(requests().size(), 3u);
    EXPECT_EQ(failures.lines.size(), 1u);
}

TEST_F(MediaActions, ChangeAndDeleteActOnRegisteredSerialsOnly) {
    registration("1", "a");
    registration("1", "b");
    EXPECT_EQ(changeRegistration(ctx, flag, "1", "", "USB&HDD").outcome, ActionOutcome::done);
    EXPECT_EQ(registered(), (std::vector<std::string>{
                                "1|4 GB|Any|USB HDD|2009-10-01 09:05:03|2009-10-01 09:05:03",
                                "1|4 GB|b|old|2001-01-01 00:00:00|2001-01-01 00:00:00"}))
        << "the first row of the serial, its size kept";

    EXPECT_EQ(changeRegistration(ctx, flag, "9", "u", "r").outcome, ActionOutcome::notFound);
    EXPECT_EQ(registered().size(), 2u) << "a change adds nothing";

    EXPECT_EQ(deleteRegistration(ctx, flag, "1").outcome, ActionOutcome::done);
    EXPECT_TRUE(registered().empty()) << "every row of the serial";
    EXPECT_EQ(deleteRegistration(ctx, flag, "1").outcome, ActionOutcome::notFound);
}

TEST_F(MediaActions, EveryActionDoneRewritesTheAllowListWhileMonitoringIsOn) {
    test::writeBytes(rem() / "RM", "kept\r\n");
    EXPECT_EQ(approveRequest(ctx, flag, "111", std::nullopt, std::nullopt).outcome,
              ActionOutcome::done);
    EXPECT_EQ(file("RM"), "kept\r\n") << "monitoring off";

    monitoring(true);
    EXPECT_EQ(approveRequest(ctx, "222", std::nullopt, std::nullopt).outcome, ActionOutcome::done);
    EXPECT_EQ(file("RM"), "kept\r\n") << "the windows' calls leave it to the check window";

    EXPECT_EQ(changeRegistration(ctx, flag, "222", "u9", "").outcome, ActionOutcome::done);
    EXPECT_EQ(file("RM"),
              "111&1 GB&u1&a&2009/10/01 9:05:03\r\n222&2 GB&u9&&2009/10/01 9:05:03\r\n");
    EXPECT_EQ(platform::attributes(rem() / "RM"), platform::kHidden | platform::kSystem);

    test::writeBytes(rem() / "RM", "stale\r\n");
    EXPECT_EQ(deleteRegistration(ctx, flag, "5").outcome, ActionOutcome::notFound);
    EXPECT_EQ(changeRegistration(ctx, flag, "111", "a\nb", "").outcome, ActionOutcome::refused);
    EXPECT_EQ(file("RM"), "stale\r\n") << "nothing done, nothing written";

    EXPECT_EQ(deleteRegistration(ctx, flag, "111").outcome, ActionOutcome::done);
    EXPECT_EQ(file("RM"), "222&2 GB&u9&&2009/10/01 9:05:03\r\n");
}

TEST_F(MediaActions, HostileFieldsAreRefusedAndNothingChanges) {
    registration("1", "a");
    monitoring(true);
    const auto before = registered();
    const std::string valid255 = [] {
        std::string text;
        for (int i = 0; i < 255; ++i) text += "山";
        return text;
    }();
    for (const std::string& hostile :
         {std::string("a\r\nb"), std::string("a\nb"), std::string("a\tb"), std::string("a\x01"),
          std::string(1, '\0'), std::string("\x7f"), std::string("\xC2\x85"),
          std::string("\xff\xfe"), std::string("\xF0\x9F\x98\x80"), valid255 + "x"}) {
        SCOPED_TRACE(testing::PrintToString(hostile));
        for (const ActionResult& result : {approveRequest(ctx, flag, "111", hostile, std::nullopt),
                                           approveRequest(ctx, flag, "111", std::nullopt, hostile),
                                           changeRegistration(ctx, flag, "1", hostile, "r"),
                                           changeRegistration(ctx, flag, "1", "u", hostile),
                                           saveRegistration(ctx, {"9", hostile, "u", "r"})}) {
            EXPECT_EQ(result.outcome, ActionOutcome::refused);
            EXPECT_FALSE(result.why.empty());
        }
    }
    EXPECT_EQ(saveRegistration(ctx, {"9&1", "", "u", "r"}).outcome, ActionOutcome::refused);
    for (const ActionResult& result :
         {approveRequest(ctx, flag, "", "u", "r"), denyRequest(ctx, flag, ""),
          changeRegistration(ctx, flag, "", "u", "r"), deleteRegistration(ctx, flag, "")})
        EXPECT_EQ(result.outcome, ActionOutcome::refused);

    EXPECT_EQ(registered(), before);
    EXPECT_EQ(requests().size(), 3u);
    EXPECT_FALSE(fs::exists(rem() / "RM"));
    EXPECT_FALSE(fs::exists(rem() / "UnADD"));
    EXPECT_TRUE(failures.lines.empty());

    // At the bound, and CP932 text, are taken.
    EXPECT_EQ(changeRegistration(ctx, flag, "1", valid255, "経理～").outcome, ActionOutcome::done);
}

TEST_F(MediaActions, ARequestHoldingWhatTheListCannotCarryIsApprovedOnlyMended) {
    sql("INSERT INTO RemList_Add (DselNo, Size, UserID, Remark) VALUES "
        "('333', '1 GB', 'u', 'p' || char(13) || 'q')");
    EXPECT_EQ(approveRequest(ctx, flag, "333", std::nullopt, std::nullopt).outcome,
              ActionOutcome::refused);
    EXPECT_EQ(requests().size(), 4u);
    EXPECT_EQ(approveRequest(ctx, flag, "333", std::nullopt, "pq").outcome, ActionOutcome::done);
    EXPECT_EQ(rows("SELECT Remark FROM RemList"), std::vector<std::string>{"pq"});
}

// Failures told from two threads at once.
class LockedFailureLog final : public platform::FailureLog {
  public:
    void report(std::string_view topic, std::string_view what) override {
        const std::lock_guard lock(mutex);
        lines.push_back(std::string(topic) + ": " + std::string(what));
    }
    std::mutex mutex;
    std::vector<std::string> lines;
};

TEST_F(MediaActions, ActionsFromTwoThreadsEachPublishAWholeList) {
    registration("1", "a");
    registration("2", "b");
    monitoring(true);
    LockedFailureLog told;
    platform::RunContext shared{platform::BaseFolder(dir.path()), clock, told};
    const auto changes = [&](const std::string& serial) {
        for (int i = 0; i < 30; ++i)
            EXPECT_EQ(changeRegistration(shared, flag, serial, "u" + std::to_string(i), "").outcome,
                      ActionOutcome::done);
    };
    std::thread other(changes, "2");
    changes("1");
    other.join();
    EXPECT_TRUE(told.lines.empty()) << told.lines.front();
    EXPECT_EQ(file("RM"), "1&4 GB&u29&&2009/10/01 9:05:03\r\n2&4 GB&u29&&2009/10/01 9:05:03\r\n");
}

}  // namespace
}  // namespace plenvo::removable
